// numora-testcon: a small container for looking at a control by hand. It
// places the control of a ProgID on a window and opens the control's
// property pages.
//
//   numora-testcon [PROGID [APPLICATION SECTION]] [--pages]
//
// PROGID defaults to Kwendo.Ravelle. With APPLICATION and SECTION the window
// calls the control's InitReg with them, as the directory's main window does.
// --pages opens the property pages at once.
#include "platform/com/ComSupport.h"
#include "platform/com/ControlHost.h"
#include "platform/core/ProgramInfo.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr char kHelp[] = "usage: numora-testcon [PROGID [APPLICATION SECTION]] [--pages]\n"
                         "Places the control of PROGID (Kwendo.Ravelle unless given) on a window, to look\n"
                         "at it by hand. With APPLICATION and SECTION the control's InitReg is called with\n"
                         "them, as the directory's main window does; --pages opens its property pages.\n";

} // namespace

int main(int argc, char** argv)
{
    using namespace numora::com;
    if (const int status = numora_answer_info(argc, argv, "numora-testcon", kHelp); status >= 0)
        return status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("numora-testcon"));
    QStringList args = QApplication::arguments().mid(1);
    const bool openPages = args.removeAll(QStringLiteral("--pages")) > 0;
    const QString progId = args.value(0, QStringLiteral("Kwendo.Ravelle"));

    QWidget window;
    window.setWindowTitle(QStringLiteral("Test Container - %1").arg(progId));
    auto* status = new QLabel(&window);
    status->setObjectName(QStringLiteral("status"));
    auto* properties = new QPushButton(QStringLiteral("&Properties..."), &window);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(status);
    layout->addWidget(properties);
    window.resize(360, 120);

    std::unique_ptr<HostedControl> control = createControl(progId.toStdString(), &window);
    if (!control) {
        status->setText(QStringLiteral("%1 is not registered, or its library could not be loaded.").arg(progId));
        properties->setEnabled(false);
    } else {
        status->setText(QStringLiteral("%1 is placed on this window.").arg(progId));
        if (args.size() >= 3) {
            try {
                IDispatch* object = control->object();
                invoke(object, dispIdOf(object, QStringLiteral("InitReg")), DISPATCH_METHOD,
                       {Variant::text(args[1]), Variant::text(args[2])});
                status->setText(status->text() +
                                QStringLiteral("\nInitReg(\"%1\", \"%2\") done.").arg(args[1], args[2]));
            } catch (const ComError& e) {
                status->setText(status->text() + QStringLiteral("\nInitReg failed: %1").arg(e.description));
            }
        }
        const auto show = [&] {
            if (!showPropertyPages(*control, &window, QStringLiteral("%1 Properties").arg(progId)))
                status->setText(status->text() + QStringLiteral("\nThe control offers no property pages."));
        };
        QObject::connect(properties, &QPushButton::clicked, &window, show);
        if (openPages)
            QTimer::singleShot(0, &window, show);
    }
    window.show();
    const int result = QApplication::exec();
    control.reset(); // the control goes before its container
    return result;
}
