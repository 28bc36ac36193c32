// The data source's attribute text and its registration.

#include "store/Store.h"

#include "platform/dao/DBEngine.h"
#include "platform/odbc/Ini.h"
#include "platform/odbc/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringList>

#include <filesystem>

namespace numora::store {
namespace {

Q_LOGGING_CATEGORY(lcDataSource, "numora.datasource", QtInfoMsg)

// The data file reached directly for the rest of the run; empty while the
// data source is reached by its name.
QString& directFile()
{
    static QString file;
    return file;
}

std::string entryKey(const char* key) { return odbc::profileString(odbc::kDataSources, kDataSourceName, key); }

// Whether an entry's keys reach the file: the installed driver, that
// database, and nothing else loaded.
bool reaches(const std::string& driver, const std::string& database, bool loadsMore, const QString& file)
{
    const std::string library = odbc::profileString(odbc::kDrivers, dao::kSqliteDriverName, "Driver");
    if (database.empty() || loadsMore ||
        !(odbc::equalsIgnoringLatinCase(driver, dao::kSqliteDriverName) || (!library.empty() && driver == library)))
        return false;
    std::error_code ec;
    return std::filesystem::equivalent(database, QFile::encodeName(file).toStdString(), ec);
}

// Whether the data source, as connecting by its name finds it, reaches the file.
bool reachedByName(const QString& file)
{
    odbc::forgetCachedDataSources();
    return reaches(entryKey("Driver"), entryKey("Database"), !entryKey("LoadExt").empty(), file);
}

// Whether the entry in the user's data-source file names the file, whether
// or not the driver manager can read it there.
bool namedInTheFile(const QString& file)
{
    auto keys = dao::userDataSourceEntry(kDataSourceName);
    const auto key = [&keys](const char* name) {
        for (const auto& [k, v] : keys) {
            if (odbc::equalsIgnoringLatinCase(k, name))
                return v;
        }
        return std::string();
    };
    return reaches(key("Driver"), key("Database"), !key("LoadExt").empty(), file);
}

} // namespace

std::string connectionString()
{
    // The driver takes the file name as it stands (no quoting), which
    // dataFolderProblem and the reach below keep free of separators.
    return directFile().isEmpty() ? std::string(kConnectionString)
                                  : std::string("Driver=") + dao::kSqliteDriverName +
                                        ";Database=" + QFile::encodeName(directFile()).toStdString();
}

QString reachedFile()
{
    if (!directFile().isEmpty())
        return directFile();
    odbc::forgetCachedDataSources(); // the entry as it is now, not as it was read before
    return QFile::decodeName(QByteArray::fromStdString(entryKey("Database")));
}

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

bool namesDataFile(const QString& path, const QString& dataFolder)
{
    const QString dataFile = dataFilePath(dataFolder);
    std::error_code ec;
    if (std::filesystem::equivalent(QFile::encodeName(path).toStdString(), QFile::encodeName(dataFile).toStdString(),
                                    ec))
        return true;
    const QFileInfo target(path);
    const QString folder = target.absoluteDir().canonicalPath();
    return !folder.isEmpty() && folder == QDir(dataFolder).canonicalPath() &&
           target.fileName().compare(QFileInfo(dataFile).fileName(), Qt::CaseInsensitive) == 0;
}

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

// Characters that act on the text around them rather than show: controls,
// line and paragraph separators, and the invisible format characters (among
// them those that turn the direction of what follows).
bool actsOnText(QChar c)
{
    switch (c.category()) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph: return true;
    default: return false;
    }
}

// The path with each such character written out, so a box shows it on one
// line and in its own order.
QString visible(const QString& path)
{
    QString out;
    for (const QChar c : path) {
        if (!actsOnText(c))
            out += c;
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (c.unicode() < 0x100)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
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
    directFile().clear();
    std::vector<dao::EngineError> errors;
    // A refusal comes with the engine's errors; one that came without any,
    // or a failure that is not the engine's own, is told as one error all
    // the same: an empty list would read as a registration done.
    std::optional<Error> failure;
    if (!resumeNext(lcDataSource(), failure, [&] {
            engine.RegisterDatabase(kDataSourceName, dao::kAccessDriverName, true,
                                    dataSourceAttributes(dataFolder).toStdString());
        })) {
        errors = engine.Errors();
        if (errors.empty())
            errors.push_back({failure->number() != 0 ? failure->number() : dao::kGeneralError, failure->description()});
    }
    // The entry is there only so that the file can be found by a name. When
    // it could not be written and that name does not reach the data file
    // (it names another, or the driver manager cannot read it), the program
    // reaches the file itself, through the same driver, until it ends; the
    // entry stays as it was.
    const QString file = dataFilePath(dataFolder);
    if (!errors.empty() && !reachedByName(file) && !file.contains(QLatin1Char(';')))
        directFile() = file;
    // An entry that names the data file already needed no writing; that it
    // could not be written is nothing to tell.
    if (!errors.empty() && namedInTheFile(file)) {
        qCDebug(lcDataSource) << "the data source could not be written, and names" << file << "already";
        errors.clear();
    }
    return errors;
}

} // namespace numora::store
