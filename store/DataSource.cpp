// The data source's attribute text and its registration.

#include "store/Store.h"

#include "platform/dao/DBEngine.h"
#include "platform/ui/MsgBox.h"

#include <QStringList>

namespace numora::store {

QString dataSourceAttributes(const QString& dataFolder)
{
    // The Driver attribute is a fixed path the data source has always carried;
    // the Windows folder found at start is not used for it.
    const QStringList attributes{
        QStringLiteral("DBQ=") + dataFolder + QLatin1String(kDatabaseFileName),
        QStringLiteral("Description=App Data Source"),
        QStringLiteral("Driver=C:\\WINDOWS\\SYSTEM\\odbcjt32.dll"),
        QStringLiteral("DriverId=25"),
        QStringLiteral("FIL=MS Access"),
        QStringLiteral("SafeTransactions=0"),
        QStringLiteral("UID="),
    };
    return attributes.join(QLatin1Char('\r'));
}

void RegisterDataSource(const QString& dataFolder, dao::Engine& engine)
{
    const QString attributes = dataSourceAttributes(dataFolder);
    try {
        engine.RegisterDatabase(kDataSourceName, dao::kAccessDriverName, true, attributes.toStdString());
    } catch (...) {
        // One box per engine error, then start-up goes on with whatever data
        // source was registered before.
        for (const dao::EngineError& error : engine.Errors()) {
            ui::MsgBox(QStringLiteral("Error number: ") + QString::number(error.Number) + QLatin1Char('\r') +
                           QString::fromStdString(error.Description),
                       ui::vbOKOnly);
        }
    }
}

} // namespace numora::store
