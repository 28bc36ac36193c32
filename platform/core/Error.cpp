#include "platform/core/Error.h"

namespace numora {

Error asError(const std::exception& failure)
{
    if (const auto* own = dynamic_cast<const Error*>(&failure))
        return *own;
    return Error(0, failure.what());
}

void logSkipped(const QLoggingCategory& area, const std::source_location& where, const std::exception& failure)
{
    if (!area.isDebugEnabled())
        return;
    const auto* own = dynamic_cast<const Error*>(&failure);
    const long number = own ? own->number() : 0;
    const QString description = QString::fromStdString(own ? own->description() : std::string(failure.what()));
    QMessageLogger(where.file_name(), static_cast<int>(where.line()), where.function_name(), area.categoryName())
            .debug()
            .noquote()
        << QStringLiteral("skipped at %1:%2 (%3): error %4: %5")
               .arg(QString::fromUtf8(where.file_name()))
               .arg(where.line())
               .arg(QString::fromUtf8(where.function_name()))
               .arg(number)
               .arg(description);
}

} // namespace numora
