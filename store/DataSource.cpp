// The data source's attribute text and its registration.

#include "store/Store.h"

#include "platform/dao/DBEngine.h"

#include <QDir>
#include <QStringList>

namespace numora::store {

QString fileInFolder(const QString& folder, const QString& name)
{
    // A file copied from elsewhere may carry its name in another case. The
    // exact spelling wins when both are there; otherwise the first in name
    // order, so the choice is the same at every start.
    const QStringList entries =
        QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    QString found;
    for (const QString& entry : entries) {
        if (entry == name)
            return folder + entry;
        if (found.isEmpty() && entry.compare(name, Qt::CaseInsensitive) == 0)
            found = entry;
    }
    return folder + (found.isEmpty() ? name : found);
}

QString dataFilePath(const QString& dataFolder) { return fileInFolder(dataFolder, QLatin1String(kDatabaseFileName)); }

namespace {

QString controlCharacterName(QChar c)
{
    switch (c.unicode()) {
    case '\t': return QStringLiteral("a tab");
    case '\n': return QStringLiteral("a line feed");
    case '\r': return QStringLiteral("a carriage return");
    default:
        return QStringLiteral("the control character U+") +
               QStringLiteral("%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    }
}

// The path with each control character written out, so a box can show it on one line.
QString visible(const QString& path)
{
    QString out;
    for (const QChar c : path) {
        if (c.category() != QChar::Other_Control)
            out += c;
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
    return out;
}

} // namespace

QString dataFolderProblem(const QString& dataFolder)
{
    for (const QChar c : dataFolder) {
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("The data folder \"%1\" cannot be used: its name holds %2. "
                                  "Start Numora from a folder whose name has no control characters.")
                .arg(visible(dataFolder), controlCharacterName(c));
    }
    return {};
}

QString dataSourceAttributes(const QString& dataFolder)
{
    // The Driver attribute is a fixed path the data source has always carried;
    // the Windows folder found at start is not used for it.
    const QStringList attributes{
        QStringLiteral("DBQ=") + dataFilePath(dataFolder),
        QStringLiteral("Description=App Data Source"),
        QStringLiteral("Driver=C:\\WINDOWS\\SYSTEM\\odbcjt32.dll"),
        QStringLiteral("DriverId=25"),
        QStringLiteral("FIL=MS Access"),
        QStringLiteral("SafeTransactions=0"),
        QStringLiteral("UID="),
    };
    return attributes.join(QLatin1Char('\r'));
}

std::vector<dao::EngineError> RegisterDataSource(const QString& dataFolder, dao::Engine& engine)
{
    // Attributes are separated by carriage returns, so a folder name holding
    // one would split into attributes of the folder-maker's choosing. Such a
    // folder is never registered (the load step has said why).
    if (!dataFolderProblem(dataFolder).isEmpty())
        return {};
    try {
        engine.RegisterDatabase(kDataSourceName, dao::kAccessDriverName, true,
                                dataSourceAttributes(dataFolder).toStdString());
    } catch (...) {
        // Whatever data source was registered before stays in force.
        return engine.Errors();
    }
    return {};
}

} // namespace numora::store
