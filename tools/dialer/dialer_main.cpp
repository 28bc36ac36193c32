// The dialer: a window into which a number is typed (by the user, or as
// keystrokes by the directory program) and then dialed through the desktop.
#include <QApplication>

#include "platform/core/ProgramInfo.h"
#include "tools/dialer/DialerWindow.h"

namespace {

constexpr char kHelp[] = "usage: dialer.exe [--help | --version]\n"
                         "A window into which a telephone number is typed, by the user or by the\n"
                         "directory program, and then dialed: the number is handed to the desktop as a\n"
                         "tel: link, for whichever program the desktop calls with.\n";

} // namespace

int main(int argc, char** argv)
{
    if (const int status = numora_answer_info(argc, argv, "dialer.exe", kHelp); status >= 0)
        return status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dialer"));
    numora::dialer::DialerWindow window;
    window.show();
    window.activateWindow();
    return QApplication::exec();
}
