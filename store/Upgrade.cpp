// Start-up preparation of the database file: the data source, the shared
// connection on the file it names, the columns older files lack, and whether
// the file can be used at all.

#include "store/Store.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ado/Ado.h"
#include "platform/core/Error.h"
#include "platform/odbc/Odbc.h"
#include "platform/odbc/Text.h"

namespace numora::store {
namespace {

Q_LOGGING_CATEGORY(lcStore, "numora.store", QtInfoMsg)

// The engine's own numbers for a file that is no database, and a damaged one.
constexpr long kEngineNotADatabase = 26;
constexpr long kEngineCorrupt = 11;

// Why the file failed, in the user's terms.
QString reasonFor(const Error& e)
{
    const QString text = engineText(e);
    switch (faultOf(e)) {
    case FileFault::InUse:
        return QStringLiteral("it is in use by another program; close that program and start Numora again");
    case FileFault::NotADatabase: return QStringLiteral("it is not a directory database (%1)").arg(text);
    case FileFault::Damaged: return QStringLiteral("it is damaged (%1)").arg(text);
    case FileFault::NoTable: return QStringLiteral("it has no table %1").arg(text.mid(15));
    case FileFault::Other: break;
    }
    return text;
}

QString problemWith(const QString& file, const QString& reason)
{
    return QStringLiteral("The directory file %1 cannot be used: %2.").arg(file, reason);
}

bool sameFile(const std::string& a, const QString& b)
{
    std::error_code ec;
    return !a.empty() && std::filesystem::equivalent(a, b.toStdString(), ec);
}

// Opens cn on the data source unless it is open on file already. Returns the
// failure of that open, if it failed.
std::optional<Error> serveFile(ado::Connection& cn, const QString& file)
{
    if (cn.State() == ado::adStateOpen && sameFile(cn.DatabaseFile(), file))
        return std::nullopt;
    try {
        if (cn.State() == ado::adStateOpen)
            cn.Close();
        cn.Open(connectionString(), {}, {}, -1);
        return std::nullopt;
    } catch (const Error& e) {
        qCDebug(lcStore) << "the shared connection could not be opened:" << e.description().c_str();
        return e;
    }
}

// Whether the file is shorter than its own header says, as a reason to show;
// empty when it is not. The engine refuses a file that lacks whole pages of
// what its header counts, but not one cut inside its last page; this finds
// both without reading more than the header. A file in write-ahead mode
// keeps its newest pages beside it and is left to the engine.
QString cutShort(const QString& file, qint64 size)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray header = f.read(100);
    const auto byte = [&header](int at) { return static_cast<quint32>(static_cast<unsigned char>(header[at])); };
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3")) || byte(18) == 2)
        return {};
    const quint32 pageSize = byte(16) << 8 | byte(17);
    const quint32 pages = byte(28) << 24 | byte(29) << 16 | byte(30) << 8 | byte(31);
    // The page count is only valid while the file's change counter matches
    // the one it was written with.
    if (header.mid(24, 4) != header.mid(92, 4))
        return {};
    const qint64 expected = static_cast<qint64>(pageSize == 1 ? 65536 : pageSize) * pages;
    if (size >= expected)
        return {};
    return QStringLiteral("it is damaged (it ends after %1 of its %2 bytes)").arg(size).arg(expected);
}

// Why the data file cannot be used; empty when it can be.
QString checkDataFile(ado::Connection& cn, const QString& file, const std::optional<Error>& openFailure)
{
    const QFileInfo info(file);
    if (!info.exists())
        return problemWith(file, QStringLiteral("it does not exist"));
    if (info.isFile() && info.size() == 0)
        return problemWith(file, QStringLiteral("it is empty"));
    if (cn.State() != ado::adStateOpen)
        return openFailure ? problemWith(file, reasonFor(*openFailure)) : QString();
    try {
        for (const Table* table : kTables) {
            if (!hasColumn(columnsOf(cn, table->name), "Name"))
                return problemWith(file, QStringLiteral("its table %1 is not a directory table").arg(table->name));
        }
        // A file cut short shows here, not halfway through some later listing.
        if (const QString cut = cutShort(file, info.size()); !cut.isEmpty())
            return problemWith(file, cut);
    } catch (const Error& e) {
        return problemWith(file, reasonFor(e));
    }
    return {};
}

// The statements giving each directory table the columns it lacks. strict:
// a table that cannot be read fails; otherwise it is passed over (logged).
std::vector<std::string> columnStatements(ado::Connection& cn, bool strict)
{
    // Only tables the program recognises as its own (they have a Name
    // column) gain the columns, and only the columns they lack.
    std::optional<std::vector<std::string>> columns[std::size(kTables)];
    for (std::size_t t = 0; t < std::size(kTables); ++t) {
        const char* table = kTables[t]->name;
        try {
            const auto names = columnsOf(cn, table);
            if (hasColumn(names, "Name"))
                columns[t] = names;
            else
                qCDebug(lcStore) << "not a directory table, left alone:" << table;
        } catch (const Error& e) {
            if (strict)
                throw;
            qCDebug(lcStore) << "table" << table << "skipped:" << e.description().c_str();
        }
    }
    // Column by column, each to both tables: Address to Vemo and Work, then Email.
    std::vector<std::string> statements;
    for (std::size_t c = 0; c < static_cast<std::size_t>(kCardFields); ++c) {
        for (std::size_t t = 0; t < std::size(kTables); ++t) {
            const Column& column = kTables[t]->columns[c];
            if (column.addedAtStart && columns[t] && !hasColumn(*columns[t], column.name))
                statements.push_back(std::string("ALTER TABLE ") + kTables[t]->name + " ADD COLUMN " + column.name +
                                     " " + column.type + ";");
        }
    }
    return statements;
}

} // namespace

std::vector<std::string> columnsOf(ado::Connection& cn, const std::string& table)
{
    std::vector<std::string> names;
    const auto rs = cn.Execute("select * from " + table + " where 0 = 1");
    for (int i = 0; rs && i < rs->FieldCount(); ++i)
        names.push_back(rs->FieldName(i));
    return names;
}

bool hasColumn(const std::vector<std::string>& columns, const char* name)
{
    for (const std::string& c : columns) {
        if (odbc::equalsIgnoringLatinCase(c, name))
            return true;
    }
    return false;
}

FileFault faultOf(const Error& e)
{
    if (odbc::isLockedByAnother(e.number()))
        return FileFault::InUse;
    if (e.number() == kEngineNotADatabase)
        return FileFault::NotADatabase;
    if (e.number() == kEngineCorrupt)
        return FileFault::Damaged;
    if (engineText(e).startsWith(QLatin1String("no such table: ")))
        return FileFault::NoTable;
    return FileFault::Other;
}

QString engineText(const Error& e)
{
    QString text = QString::fromStdString(e.description());
    if (text.startsWith(QLatin1Char('[')) && text.indexOf(QLatin1String("] ")) > 0)
        text = text.mid(text.indexOf(QLatin1String("] ")) + 2);
    return text;
}

std::vector<std::string> missingColumns(ado::Connection& cn) { return columnStatements(cn, true); }

QString UpgradeDatabase(ado::Connection& cn)
{
    if (cn.State() != ado::adStateOpen)
        resumeNext(lcStore(), [&] { cn.Open(connectionString(), {}, {}, -1); });
    const std::vector<std::string> statements = columnStatements(cn, false);

    // Another program writing to the file would keep each statement waiting
    // for it; that is found with a short look first.
    const auto locked = [&cn] {
        return QStringLiteral("The directory file %1 is in use by another program, so the columns Address "
                              "and Email could not be added to it. Close that program and start Numora again.")
            .arg(QString::fromStdString(cn.DatabaseFile()));
    };
    if (!statements.empty() && fileInUse(QString::fromStdString(cn.DatabaseFile()), FileUse::Writing))
        return locked();
    for (const std::string& statement : statements) {
        try {
            cn.Execute(statement, nullptr, -1);
        } catch (const Error& e) {
            qCDebug(lcStore) << "column not added:" << statement.c_str() << e.description().c_str();
            // Every further statement would wait for the same lock in vain.
            if (odbc::isLockedByAnother(e.number()))
                return locked();
        }
    }
    return {};
}

QString ServeDataFile(ado::Connection& cn, const QString& dataFolder, bool* inUse)
{
    if (inUse)
        *inUse = false;
    // Every statement would wait for another program's lock in vain, and
    // start-up makes several; a short look tells first.
    const QString reached = reachedFile().isEmpty() ? dataFilePath(dataFolder) : reachedFile();
    if (fileInUse(reached)) {
        if (inUse)
            *inUse = true;
        return problemWith(reached, reasonFor(Error(odbc::kEngineBusy, {})));
    }
    removeLeftovers(dataFolder);

    // The connection may be closed (the data source did not exist when it was
    // first opened, or it was released) or on the previous folder's file;
    // from here on it serves the file the grid lists, and the upgrade goes to
    // that file.
    const std::optional<Error> openFailure = serveFile(cn, dataFilePath(dataFolder));
    if (inUse && openFailure && odbc::isLockedByAnother(openFailure->number()))
        *inUse = true;
    if (cn.State() == ado::adStateOpen) {
        if (QString locked = UpgradeDatabase(cn); !locked.isEmpty())
            return locked;
    }
    // The file the data source names: the data folder's, unless registering
    // failed and an earlier entry still stands.
    const QString file =
        cn.State() == ado::adStateOpen ? QString::fromStdString(cn.DatabaseFile()) : dataFilePath(dataFolder);
    return checkDataFile(cn, file, openFailure);
}

Preparation PrepareDatabase(ado::Connection& cn, const QString& dataFolder, dao::Engine& engine)
{
    Preparation prepared;
    prepared.registrationErrors = RegisterDataSource(dataFolder, engine);
    prepared.unusable = ServeDataFile(cn, dataFolder, &prepared.inUse);
    return prepared;
}

QString databaseFileProblem(const QString& file)
{
    // The name goes into a connection string as it is (the driver takes no
    // quoting there), where a semicolon would end it and start a keyword.
    if (file.contains(QLatin1Char(';')))
        return problemWith(file, QStringLiteral("its name holds a semicolon; rename it first"));
    ado::Connection cn;
    std::optional<Error> openFailure;
    try {
        cn.Open("Driver=SQLite3;Database=" + file.toStdString(), {}, {}, -1);
    } catch (const Error& e) {
        openFailure = e;
    }
    return checkDataFile(cn, file, openFailure);
}

} // namespace numora::store
