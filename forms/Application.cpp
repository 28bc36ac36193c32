#include "forms/Application.h"

#include <QLoggingCategory>

#include <new>

#include "platform/core/Error.h"
#include "platform/ui/MsgBox.h"

namespace numora::forms {
namespace {

Q_LOGGING_CATEGORY(lcApp, "numora.app", QtInfoMsg)

} // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        reportEscaped(e);
        return false;
    }
}

void reportEscaped(const std::exception& failure)
{
    const bool noMemory = dynamic_cast<const std::bad_alloc*>(&failure) != nullptr;
    const Error error = asError(failure);
    const QString description =
        noMemory ? QStringLiteral("There is not enough memory.") : QString::fromStdString(error.description());
    qCCritical(lcApp).noquote() << "a failure escaped its handler: error" << error.number() << description;
    ui::MsgBox(QStringLiteral("The last command could not be finished:") + QLatin1Char('\r') + description,
               ui::vbOKOnly | ui::vbCritical);
}

} // namespace numora::forms
