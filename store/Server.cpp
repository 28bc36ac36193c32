// Groups on a database server: where each group lives, its table there, and
// copying a group between a directory file and a server.

#include "store/Server.h"

#include <QDir>
#include <QLoggingCategory>
#include <QSettings>

#include <array>
#include <optional>

#include "platform/ado/Ado.h"
#include "platform/odbc/Text.h"
#include "store/Store.h"

namespace numora::store {
namespace {

Q_LOGGING_CATEGORY(lcServer, "numora.server", QtInfoMsg)

std::array<QString, std::size(kTables)>& sources()
{
    static std::array<QString, std::size(kTables)> chosen;
    return chosen;
}

std::size_t indexOf(const Table& table)
{
    for (std::size_t t = 0; t < std::size(kTables); ++t) {
        if (kTables[t] == &table)
            return t;
    }
    return 0;
}

// The per-user settings file the placement control keeps its keys in.
QString settingsFile()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QLatin1String("/.config");
    return config + QLatin1Char('/') + QLatin1String(kSettingsApplication) + QLatin1String(".ini");
}

QString lower(const char* name) { return QString::fromLatin1(name).toLower(); }

std::string lowerName(const char* name) { return lower(name).toStdString(); }

// A text column on a server: any length (the file keeps any length in a
// declared TEXT(20) too), ordered and compared by code points.
std::string columnDefinition(const Column& column)
{
    return lowerName(column.name) + " text COLLATE \"C\"" + (column.mayBeNull ? "" : " NOT NULL");
}

std::string sqlState(const Error& e)
{
    const std::string& d = e.description();
    if (d.size() >= 7 && d[0] == '[' && d[6] == ']')
        return d.substr(1, 5);
    return {};
}

} // namespace

QString dataSourceKey(const Table& table) { return QLatin1String(table.group) + QLatin1String("DataSource"); }

QString groupDataSource(const Table& table) { return sources()[indexOf(table)]; }

QString groupSyncFolder(const Table& table)
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    return settings
        .value(QLatin1String(kSettingsSection) + QLatin1Char('/') + QLatin1String(table.group) +
               QLatin1String("SyncFolder"))
        .toString()
        .trimmed();
}

void setGroupDataSource(const Table& table, const QString& dataSource) { sources()[indexOf(table)] = dataSource; }

QString chooseGroupSources(const QStringList& arguments)
{
    {
        QSettings settings(settingsFile(), QSettings::IniFormat);
        for (const Table* table : kTables) {
            const QVariant value =
                settings.value(QLatin1String(kSettingsSection) + QLatin1Char('/') + dataSourceKey(*table));
            setGroupDataSource(*table, value.toString().trimmed());
        }
    }
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        for (const Table* table : kTables) {
            const QString option = QStringLiteral("--%1-data-source").arg(lower(table->group));
            if (arguments[i] != option)
                continue;
            if (i + 1 >= arguments.size() || arguments[i + 1].startsWith(QLatin1String("--")))
                return QStringLiteral("The option %1 needs the name of a data source.").arg(option);
            setGroupDataSource(*table, arguments[++i].trimmed());
        }
    }
    for (const Table* table : kTables) {
        const QString name = groupDataSource(*table);
        // The name goes into a connection string, where these would end it.
        if (name.contains(QLatin1Char(';')) || name.contains(QLatin1Char('{')) || name.contains(QLatin1Char('}')))
            return QStringLiteral("The data source name \"%1\" of the %2 group cannot be used: it holds ';', '{' "
                                  "or '}'.")
                .arg(name, QLatin1String(table->group));
        if (!name.isEmpty())
            qCInfo(lcServer) << "the" << table->group << "group lives on the data source" << name;
    }
    return {};
}

bool onServer(const Table& table) { return !groupDataSource(table).isEmpty(); }

std::string groupConnectionString(const Table& table)
{
    return onServer(table) ? "DSN=" + groupDataSource(table).toStdString() : connectionString();
}

// ---- the table on a server ---------------------------------------------------------

std::vector<std::string> serverTableStatements(const Table& table)
{
    const std::string name = lowerName(table.name);
    const std::string changes = kChangeTable;
    std::string columns = "rowid bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY";
    for (const Column& column : table.columns)
        columns += ", " + columnDefinition(column);
    std::vector<std::string> statements;
    statements.push_back("CREATE TABLE " + name + " (" + columns + ")");
    // The duplicate test compares names without the blanks around them.
    statements.push_back("CREATE UNIQUE INDEX " + name + "_name_unique ON " + name + " (btrim(name, ' '))");
    statements.push_back("CREATE INDEX " + name + "_name ON " + name + " (name)");
    // Every write to the table counts one up in its row of the change
    // counter, in the write's own transaction: a client that sees the count
    // it listed at has nothing new to list.
    statements.push_back("CREATE TABLE IF NOT EXISTS " + changes + " (tbl text PRIMARY KEY, n bigint NOT NULL)");
    statements.push_back("INSERT INTO " + changes + " (tbl, n) VALUES ('" + name + "', 0) ON CONFLICT DO NOTHING");
    statements.push_back("CREATE OR REPLACE FUNCTION numora_count_change() RETURNS trigger LANGUAGE plpgsql AS "
                         "'BEGIN UPDATE " +
                         changes + " SET n = n + 1 WHERE tbl = TG_TABLE_NAME; RETURN NULL; END'");
    statements.push_back("CREATE TRIGGER " + name + "_changes AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON " + name +
                         " FOR EACH STATEMENT EXECUTE FUNCTION numora_count_change()");
    return statements;
}

void createServerTable(ado::Connection& cn, const Table& table)
{
    cn.BeginTrans();
    try {
        for (const std::string& statement : serverTableStatements(table))
            cn.Execute(statement);
        cn.CommitTrans();
    } catch (const Error&) {
        resumeNext(lcServer(), [&] { cn.RollbackTrans(); });
        throw;
    }
}

void upgradeServerTable(ado::Connection& cn, const Table& table)
{
    const std::vector<std::string> columns = columnsOf(cn, table.name);
    for (const Column& column : table.columns) {
        // Looked at first, so that a table that has them all is not locked
        // against every other client for nothing; IF NOT EXISTS lets two
        // clients starting together both add it.
        if (column.addedAtStart && !hasColumn(columns, column.name))
            cn.Execute("ALTER TABLE " + lowerName(table.name) + " ADD COLUMN IF NOT EXISTS " +
                       columnDefinition(column));
    }
}

QString prepareServerGroup(ado::Connection& cn, const Table& table)
{
    try {
        if (cn.State() != ado::adStateOpen)
            cn.Open(groupConnectionString(table));
        if (!cn.OnServer())
            return QStringLiteral("The data source \"%1\" of the %2 group reaches no database server.")
                .arg(groupDataSource(table), QLatin1String(table.group));
        if (!hasColumn(columnsOf(cn, table.name), "Name"))
            return QStringLiteral("The %1 group on the data source \"%2\" cannot be used: its table %3 is not a "
                                  "directory table.")
                .arg(QLatin1String(table.group), groupDataSource(table), QLatin1String(table.name));
        upgradeServerTable(cn, table);
    } catch (const Error& e) {
        if (isServerUnreachable(e))
            return serverUnreachableText(table, e);
        return QStringLiteral("The %1 group on the data source \"%2\" cannot be used: %3")
            .arg(QLatin1String(table.group), groupDataSource(table), engineText(e));
    }
    return {};
}

std::optional<std::string> changeCount(ado::Connection& cn, const Table& table)
{
    const auto rs =
        cn.Execute(std::string("SELECT n FROM ") + kChangeTable + " WHERE tbl = '" + lowerName(table.name) + "'");
    if (!rs || rs->Eof())
        return std::nullopt;
    return rs->Field(0);
}

// ---- what went wrong on a server ----------------------------------------------------------

bool isNameTaken(const Error& e) { return sqlState(e) == "23505"; }

bool isServerUnreachable(const Error& e)
{
    const std::string state = sqlState(e);
    // 08: the connection failed or was lost; 57P: the server is shutting
    // down or was shut down under it. The driver tells the first statement
    // that meets a server shut down under it with a general state and the
    // server's own words.
    if (state.starts_with("08") || state.starts_with("57P"))
        return true;
    const std::string& d = e.description();
    return d.find("server closed the connection unexpectedly") != std::string::npos ||
           d.find("terminating connection due to administrator command") != std::string::npos ||
           d.find("the connection lost") != std::string::npos ||
           d.find("connection has been lost") != std::string::npos;
}

QString serverUnreachableText(const Table& table, const Error& e)
{
    return QStringLiteral("The database server of the %1 group (data source \"%2\") cannot be reached: %3")
        .arg(QLatin1String(table.group), groupDataSource(table), engineText(e));
}

// ---- copying a group --------------------------------------------------------------------

GroupPlace GroupPlace::parse(const std::string& text)
{
    GroupPlace place;
    if (text.starts_with("dsn:"))
        place.dataSource = text.substr(4);
    else
        place.file = text;
    return place;
}

std::string GroupPlace::connectionString() const
{
    return dataSource.empty() ? std::string("Driver=SQLite3;Database=") + file : "DSN=" + dataSource;
}

std::string GroupPlace::shown() const
{
    return dataSource.empty() ? "the directory file " + file : "the data source " + dataSource;
}

namespace {

// Opens a connection on a place; Error naming the place when it cannot be.
void openPlace(ado::Connection& cn, const GroupPlace& place)
{
    if ((place.dataSource.empty() && (place.file.empty() || place.file.find(';') != std::string::npos)) ||
        (!place.file.empty() && place.dataSource.find_first_of(";{}") != std::string::npos))
        throw Error(ado::adErrInvalidArgument, place.shown() + " cannot be used: its name is empty or holds ';'");
    try {
        cn.Open(place.connectionString());
    } catch (const Error& e) {
        throw Error(e.number(), place.shown() + " cannot be used: " + engineText(e).toStdString());
    }
}

} // namespace

std::size_t copyGroup(const Table& table, const GroupPlace& from, const GroupPlace& to)
{
    ado::Connection source;
    openPlace(source, from);
    ado::Connection target;
    openPlace(target, to);

    // Every column of the description, as stored; one the source lacks
    // (a file of the format before Address and Email) reads as Null.
    const std::vector<std::string> present = columnsOf(source, table.name);
    std::string select;
    std::vector<int> fieldOf; // per column of the description: its column in the query, or -1
    int selected = 0;
    for (const Column& column : table.columns) {
        const bool there = hasColumn(present, column.name);
        if (there)
            select += (select.empty() ? "" : ", ") + std::string(column.name);
        fieldOf.push_back(there ? selected++ : -1);
    }
    if (!hasColumn(present, "Name"))
        throw Error(ado::adErrItemNotFound, from.shown() + " has no directory table " + table.name);
    const auto rs = source.Execute("select " + select + " from " + table.name + " order by rowid");

    if (to.dataSource.empty())
        UpgradeDatabase(target); // a file of the older format gains the columns first
    else if (const QString problem = prepareServerGroup(target, table); !problem.isEmpty())
        throw Error(ado::adErrProviderFailed, problem.toStdString());

    std::vector<std::string> columns;
    for (const Column& column : table.columns)
        columns.emplace_back(column.name);
    Transaction tx(target);
    const auto held = target.Execute(std::string("select count(*) from ") + table.name);
    if (held && held->Field(0).value_or("0") != "0")
        throw Error(ado::adErrProviderFailed, to.shown() + " holds cards of the " + table.group +
                                                  " group already; a group is copied only to an empty one");
    const long count = rs ? rs->RecordCount() : 0;
    std::size_t copied = 0;
    try {
        copied = target.InsertRows(table.name, columns, static_cast<std::size_t>(count),
                                   [&](std::size_t row, std::size_t c) -> std::optional<std::string_view> {
                                       if (fieldOf[c] < 0)
                                           return std::nullopt;
                                       return rs->FieldViewAt(static_cast<long>(row), fieldOf[c]);
                                   });
    } catch (const Error& e) {
        if (isNameTaken(e))
            throw Error(e.number(), to.shown() + " keeps the names of a group unique, and " + from.shown() +
                                        " holds a name twice: " + engineText(e).toStdString());
        throw;
    }
    tx.commit();
    return copied;
}

} // namespace numora::store
