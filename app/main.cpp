// The program's entry: create the main window and show it. Its first showing
// runs the start-up (the window's load step). The program runs until no
// window of it remains loaded; the main window's end step runs then.
#include <cstdio>
#include <exception>

#include "forms/Application.h"
#include "forms/Form.h"
#include "mainwin/frmVemo.h"
#include "platform/core/ProgramInfo.h"
#include "store/Server.h"

namespace {

constexpr char kHelp[] = "usage: Vemo7 [--personal-data-source NAME] [--work-data-source NAME]\n"
                         "       Vemo7 --help | --version\n"
                         "The Numora telephone directory: contact cards in the groups Personal and Work,\n"
                         "kept in the directory file VEMO.MDB of the folder the program is started in\n"
                         "(numora starts it in the user's data folder). In a folder without that file\n"
                         "it offers to make an empty one.\n"
                         "  --personal-data-source NAME, --work-data-source NAME\n"
                         "             the group lives on the database server of the ODBC data source\n"
                         "             NAME for this run (the settings keys PersonalDataSource and\n"
                         "             WorkDataSource name one for every run)\n"
                         "  --help     show this text and end\n"
                         "  --version  show the release and end\n";

} // namespace

int main(int argc, char** argv)
{
    // Answered before the application starts: no display is needed for it,
    // and no window opens.
    if (const int status = numora_answer_info(argc, argv, "Vemo7", kHelp); status >= 0)
        return status;
    numora::forms::Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Numora"));
    if (const QString wrong = numora::store::chooseGroupSources(QCoreApplication::arguments().mid(1));
        !wrong.isEmpty()) {
        std::fprintf(stderr, "Vemo7: %s\n", wrong.toLocal8Bit().constData());
        return 2;
    }

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
