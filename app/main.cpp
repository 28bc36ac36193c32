// The program's entry: create the main window and show it. Its first showing
// runs the start-up (the window's load step). The program runs until no
// window of it remains loaded; the main window's end step runs then.
#include <exception>

#include "forms/Application.h"
#include "forms/Form.h"
#include "mainwin/frmVemo.h"

int main(int argc, char** argv)
{
    numora::forms::Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Numora"));

    try {
        numora::frmVemo::instance().show();
        // A start-up that refused to go on leaves no window loaded: the
        // program ends at once, unsuccessfully.
        const bool started = numora::forms::loadedCount() > 0;
        const int result = numora::forms::run(&numora::frmVemo::Form_Terminate);
        return started ? result : 1;
    } catch (const std::exception& e) {
        // Outside any event (the end step): told, and the program ends.
        numora::forms::reportEscaped(e);
        return 1;
    }
}
