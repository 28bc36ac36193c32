// The dialer: a window into which a number is typed (by the user, or as
// keystrokes by the directory program) and then dialed through the desktop.
#include <QApplication>

#include "tools/dialer/DialerWindow.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dialer"));
    numora::dialer::DialerWindow window;
    window.show();
    window.activateWindow();
    return QApplication::exec();
}
