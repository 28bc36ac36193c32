// The program's entry: create the main window and show it. Its first showing
// runs the start-up (the window's load step); the program ends when no
// window of it remains, and the main window's end step runs then.
#include <QApplication>

#include "mainwin/frmVemo.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Numora"));

    numora::frmVemo& window = numora::frmVemo::instance();
    window.show();
    // A start-up that refused to go on leaves no window: the program ends.
    const int result = window.isLoaded() ? QApplication::exec() : 1;
    delete numora::frmVemo::existingInstance();
    return result;
}
