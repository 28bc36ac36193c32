// The program's entry: create the main window and show it. Its first showing
// runs the start-up (the window's load step); the program ends when no
// window of it remains, and the main window's end step runs then.
#include <QApplication>

#include "mainwin/frmVemo.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Numora"));

    numora::frmVemo::instance().show();
    const int result = QApplication::exec();
    delete numora::frmVemo::existingInstance();
    return result;
}
