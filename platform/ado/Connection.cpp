// The connection: its string, its handles, and the checks made before the
// driver is asked to connect.

#include <sqlext.h>

#include <QLoggingCategory>

#include <filesystem>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ado/Ado.h"
#include "platform/ado/BlockReader.h"
#include "platform/ado/ConnectionHandle.h"
#include "platform/ado/Messages.h"
#include "platform/ado/RecordsetImpl.h"
#include "platform/ado/Statements.h"
#include "platform/core/LockWait.h"
#include "platform/odbc/Ini.h"
#include "platform/odbc/Odbc.h"
#include "platform/odbc/Text.h"

namespace numora::ado {
namespace {

Q_LOGGING_CATEGORY(lcConnection, "numora.ado", QtInfoMsg)

} // namespace

ConnectionHandle::~ConnectionHandle()
{
    using odbc::checkedOnTheWayOut;
    if (connected && !lost)
        checkedOnTheWayOut(SQLDisconnect(dbc), SQL_HANDLE_DBC, dbc, "Disconnecting");
    if (dbc != SQL_NULL_HDBC)
        checkedOnTheWayOut(SQLFreeHandle(SQL_HANDLE_DBC, dbc), SQL_HANDLE_DBC, dbc, "Releasing a connection");
    if (env != SQL_NULL_HENV)
        checkedOnTheWayOut(SQLFreeHandle(SQL_HANDLE_ENV, env), SQL_HANDLE_ENV, env, "Releasing the ODBC environment");
}

namespace detail {
namespace {

using odbc::attrValue;
using odbc::sqlText;
using odbc::throwDiagnostic;

struct Keyword {
    std::string key;
    std::string value;
};

// "KEY=value;KEY={value; with separators};..."
constexpr SQLULEN kServerLoginSeconds = 5;

std::vector<Keyword> parseConnectionString(const std::string& s)
{
    std::vector<Keyword> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto eq = s.find('=', i);
        const auto semi = s.find(';', i);
        if (eq == std::string::npos || (semi != std::string::npos && semi < eq)) {
            i = semi == std::string::npos ? s.size() : semi + 1;
            continue;
        }
        Keyword k;
        k.key = odbc::trimmed(std::string_view(s).substr(i, eq - i));
        std::size_t v = eq + 1;
        while (v < s.size() && s[v] == ' ')
            ++v;
        if (v < s.size() && s[v] == '{') {
            const auto close = s.find('}', v + 1);
            const auto end = close == std::string::npos ? s.size() : close;
            k.value = s.substr(v + 1, end - v - 1);
            const auto next = close == std::string::npos ? std::string::npos : s.find(';', close);
            i = next == std::string::npos ? s.size() : next + 1;
        } else {
            const auto end = semi == std::string::npos ? s.size() : semi;
            k.value = odbc::trimmed(std::string_view(s).substr(v, end - v));
            i = end + 1;
        }
        out.push_back(std::move(k));
    }
    return out;
}

const Keyword* findKeyword(const std::vector<Keyword>& keywords, std::string_view key)
{
    for (const Keyword& k : keywords) {
        if (odbc::equalsIgnoringLatinCase(k.key, key))
            return &k;
    }
    return nullptr;
}

std::string dataSourceKey(const std::string& dsn, const char* key)
{
    return odbc::profileString(odbc::kDataSources, dsn, key);
}

// Whether a driver (by its name in the driver list, or its library) is the
// SQLite driver, which reaches a directory file; any other reaches a server.
bool isFileDriver(const std::string& driver)
{
    std::string library = odbc::profileString(odbc::kDrivers, driver, "Driver");
    if (library.empty())
        library = driver;
    const auto named = [](const std::string& text) {
        std::string lower;
        for (const char c : text)
            lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        return lower.find("sqlite") != std::string::npos;
    };
    return named(driver) || named(library);
}

// The engine the driver says it reached.
std::string dbmsName(SQLHDBC dbc)
{
    SQLCHAR name[128] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(dbc, SQL_DBMS_NAME, name, sizeof name, &length)))
        throwDiagnostic(SQL_HANDLE_DBC, dbc, "Asking which database the data source reached");
    return reinterpret_cast<const char*>(name);
}

// A one-value query's answer.
std::string singleValue(SQLHDBC dbc, const std::string& sql)
{
    odbc::Statement st(dbc);
    if (!SQL_SUCCEEDED(SQLExecDirect(st.get(), sqlText(sql), SQL_NTS)))
        throwDiagnostic(SQL_HANDLE_STMT, st.get(), "Setting up the connection");
    if (!SQL_SUCCEEDED(SQLFetch(st.get())))
        throwDiagnostic(SQL_HANDLE_STMT, st.get(), "Setting up the connection");
    return readText(st.get(), 1).value_or(std::string());
}

void prepareFile(SQLHDBC dbc)
{
    odbc::Statement probe(dbc);
    if (!SQL_SUCCEEDED(SQLExecDirect(probe.get(), sqlText("SELECT count(*) FROM sqlite_master"), SQL_NTS)))
        throwDiagnostic(SQL_HANDLE_STMT, probe.get(), "Reading the database");
    // A statement of many rows (a bulk insert) keeps what would undo it in
    // memory. In a temporary file those images are written a page at a time,
    // and a bulk insert into a table with an index on Name then writes many
    // times the pages it stores.
    odbc::Statement tempStore(dbc);
    if (!SQL_SUCCEEDED(SQLExecDirect(tempStore.get(), sqlText("PRAGMA temp_store = MEMORY"), SQL_NTS)))
        throwDiagnostic(SQL_HANDLE_STMT, tempStore.get(), "Setting up the connection");
}

// Texts go into query text between single quotes with their quotes doubled
// (the search's look-up): only standard-conforming strings keep a backslash
// from ending such a text early, so a server without them is not used.
void prepareServer(SQLHDBC dbc, const std::string& dataSource)
{
    if (singleValue(dbc, "SHOW standard_conforming_strings") != "on")
        throw Error(adErrProviderFailed, "[HY000] The database server of the data source '" + dataSource +
                                             "' does not keep strings standard-conforming "
                                             "(standard_conforming_strings is off); Numora does not use it.");
}

} // namespace

// The SQLite driver would create a missing database file (and an empty file
// reads as an empty database), so a data source whose file is gone must fail
// here rather than quietly start an empty directory: the file is checked
// first, the driver is told not to create one, and a first read proves the
// file is a database at all. A data source of another driver reaches a
// database server, which is asked what it is once connected.
std::shared_ptr<ConnectionHandle> connect(const std::string& connectionString, const std::string& userId,
                                          const std::string& password)
{
    odbc::forgetCachedDataSources();
    const auto keywords = parseConnectionString(connectionString);

    std::string database;
    std::string driver;
    if (const Keyword* k = findKeyword(keywords, "Database"))
        database = k->value;
    if (const Keyword* k = findKeyword(keywords, "Driver"))
        driver = k->value;
    const Keyword* dsn = findKeyword(keywords, "DSN");
    if (dsn && driver.empty()) {
        // The driver manager keeps its own copy of the data-source files'
        // reader, with a cache of its own that nothing outside it can empty:
        // a name it once failed to find stays "not found" for the next twenty
        // seconds, even after the name has been registered. So a name the
        // installer does not know is refused here, before the driver manager
        // is asked and remembers the miss; the first start, which connects
        // before it registers, then lists at once after the registration.
        driver = dataSourceKey(dsn->value, "Driver");
        if (driver.empty())
            throw Error(adErrProviderFailed, "[IM002] Data source name not found: '" + dsn->value + "'.");
        // The driver would load any library an entry names here into the
        // program; the program never asks for one, so such an entry is not
        // its own (registering the data source again writes it afresh).
        if (const std::string library = dataSourceKey(dsn->value, "LoadExt"); !library.empty())
            throw Error(adErrProviderFailed, "[HY000] The data source '" + dsn->value + "' asks to load the library '" +
                                                 library + "'; it is not used.");
        if (database.empty() && isFileDriver(driver)) {
            database = dataSourceKey(dsn->value, "Database");
            if (database.empty())
                throw Error(adErrProviderFailed,
                            "[HY000] The data source '" + dsn->value + "' names no database file.");
        }
    }
    const bool file = isFileDriver(driver);
    if (!file)
        database.clear(); // a server's database is no file of this machine's
    if (!database.empty()) {
        std::error_code ec;
        if (!std::filesystem::exists(database, ec))
            throw Error(adErrProviderFailed, "[HY000] Could not find file '" + database + "'.");
    }

    std::string full = connectionString;
    auto append = [&full](const std::string& keyword) {
        if (!full.empty() && full.back() != ';')
            full += ';';
        full += keyword;
    };
    if (file && !findKeyword(keywords, "NoCreat"))
        append("NoCreat=1");
    // A file another program holds locked is waited for this long, then the
    // statement fails and says so; without it the driver waits for minutes.
    // The driver waits about twice this long for a write, and as long again
    // in connecting while the file is locked against reading.
    if (file && !findKeyword(keywords, "Timeout"))
        append("Timeout=" + std::to_string(locks::busyTimeoutMs()));
    // The driver steps through a query's rows as they are fetched rather
    // than copying the whole result first, which would double the memory a
    // long listing takes while it is read.
    if (file && !findKeyword(keywords, "StepAPI"))
        append("StepAPI=1");
    if (!userId.empty())
        append("UID=" + userId);
    if (!password.empty())
        append("PWD=" + password);

    auto h = std::make_shared<ConnectionHandle>();
    h->database = database;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h->env))) {
        h->env = SQL_NULL_HENV;
        fail(adErrProviderFailed, "The ODBC driver manager could not be started.");
    }
    if (!SQL_SUCCEEDED(SQLSetEnvAttr(h->env, SQL_ATTR_ODBC_VERSION, attrValue(SQL_OV_ODBC3), 0)))
        throwDiagnostic(SQL_HANDLE_ENV, h->env, "Choosing ODBC 3 behaviour");
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, h->env, &h->dbc))) {
        h->dbc = SQL_NULL_HDBC;
        throwDiagnostic(SQL_HANDLE_ENV, h->env, "Allocating a connection");
    }
    // A server that does not answer is given up after a few seconds, so a
    // start with the server down shows its window and says so at once.
    if (!file && !SQL_SUCCEEDED(SQLSetConnectAttr(h->dbc, SQL_ATTR_LOGIN_TIMEOUT, attrValue(kServerLoginSeconds), 0)))
        qCInfo(lcConnection) << "the driver keeps its own connect timeout";
    const SQLRETURN rc =
        SQLDriverConnect(h->dbc, nullptr, sqlText(full), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc))
        throwDiagnostic(SQL_HANDLE_DBC, h->dbc, "Connecting");
    h->connected = true;
    h->connectedWith = full;
    h->answeredAt = std::chrono::steady_clock::now();

    const std::string dbms = dbmsName(h->dbc);
    if (odbc::equalsIgnoringLatinCase(dbms, "SQLite")) {
        h->engine = Engine::Sqlite;
        prepareFile(h->dbc);
    } else if (odbc::equalsIgnoringLatinCase(dbms, "PostgreSQL")) {
        h->engine = Engine::Postgres;
        h->dataSource = dsn ? dsn->value : driver;
        prepareServer(h->dbc, h->dataSource);
    } else {
        throw Error(adErrProviderFailed, "[HY000] The data source reaches a database of the kind '" + dbms +
                                             "', which Numora cannot use: only directory files and PostgreSQL "
                                             "servers.");
    }
    return h;
}

namespace {

// How long a server connection may stand idle before it is looked at first.
constexpr auto kTrustedIdle = std::chrono::seconds(1);

bool isDead(SQLHDBC dbc)
{
    SQLUINTEGER dead = SQL_CD_FALSE;
    return SQL_SUCCEEDED(SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) && dead == SQL_CD_TRUE;
}

bool answers(SQLHDBC dbc)
{
    odbc::Statement ping(dbc);
    return SQL_SUCCEEDED(SQLExecDirect(ping.get(), sqlText("SELECT 1"), SQL_NTS));
}

} // namespace

void reconnectIfLost(const ConnectionHandle& h)
{
    if (h.engine != Engine::Postgres || h.inTransaction)
        return;
    // The driver knows a connection is dead once a statement met it so;
    // one that stood idle a while is asked first.
    if (!h.lost && !isDead(h.dbc)) {
        const auto now = std::chrono::steady_clock::now();
        if (now - h.answeredAt < kTrustedIdle)
            return;
        if (answers(h.dbc)) {
            h.answeredAt = now;
            return;
        }
        if (!isDead(h.dbc))
            return; // the server answered with an error of its own: the statement tells it
    }
    qCInfo(lcConnection) << "the server connection was lost; connecting again";
    if (!std::exchange(h.lost, true))
        odbc::checkedOnTheWayOut(SQLDisconnect(h.dbc), SQL_HANDLE_DBC, h.dbc, "Disconnecting a lost connection");
    const SQLRETURN rc =
        SQLDriverConnect(h.dbc, nullptr, sqlText(h.connectedWith), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        // Still without a server: the handle stays allocated, and the next
        // statement tries again.
        try {
            throwDiagnostic(SQL_HANDLE_DBC, h.dbc, "Connecting again");
        } catch (const Error& e) {
            const std::string& d = e.description();
            if (d.size() > 2 && d[0] == '[' && d.compare(1, 2, "08") == 0)
                throw;
            throw Error(e.number(), "[08001] " + (d.size() > 8 && d[0] == '[' ? d.substr(8) : d));
        }
    }
    h.lost = false;
    prepareServer(h.dbc, h.dataSource);
    h.answeredAt = std::chrono::steady_clock::now();
}

void releaseCache(ConnectionHandle& h)
{
    if (h.engine != Engine::Sqlite)
        return; // a server's cache is the server's
    odbc::Statement shrink(h.dbc);
    if (!SQL_SUCCEEDED(SQLExecDirect(shrink.get(), sqlText("PRAGMA shrink_memory"), SQL_NTS)))
        qCInfo(lcConnection) << "the engine kept its page cache: shrinking it was refused";
}

} // namespace detail

// ---------------------------------------------------------------------------

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::Open(const std::string& connectionString, const std::string& userId, const std::string& password,
                      long /*options*/)
{
    if (handle_)
        detail::fail(adErrObjectOpen, detail::kMsgOpen);
    handle_ = detail::connect(connectionString, userId, password);
}

std::unique_ptr<Recordset> Connection::Execute(const std::string& commandText, long* recordsAffected, long /*options*/)
{
    if (!handle_)
        detail::fail(adErrObjectClosed, detail::kMsgClosed);
    // A result read here can be written back through this connection, as
    // the listing and the report recordsets are.
    auto impl = std::make_unique<Recordset::Impl>();
    impl->conn = handle_;
    long affected = 0;
    if (!detail::readResult(*handle_, commandText, impl->result, &affected)) {
        if (recordsAffected)
            *recordsAffected = affected;
        return nullptr;
    }
    impl->showAll();
    auto rs = std::make_unique<Recordset>();
    rs->d_ = std::move(impl);
    rs->cursorType_ = adOpenStatic;
    rs->lockType_ = adLockOptimistic;
    if (recordsAffected)
        *recordsAffected = -1;
    return rs;
}

void Connection::Close()
{
    if (!handle_)
        detail::fail(adErrObjectClosed, detail::kMsgClosed);
    handle_.reset(); // recordsets still holding the handle keep it until they go
}

int Connection::State() const { return handle_ ? adStateOpen : adStateClosed; }

void Connection::BeginTrans()
{
    if (!handle_)
        detail::fail(adErrObjectClosed, detail::kMsgClosed);
    if (handle_->inTransaction)
        detail::fail(adErrObjectOpen, "A transaction is in progress on this connection already.");
    detail::reconnectIfLost(*handle_);
    if (detail::onServer(*handle_)) {
        // The server's transaction begins with the next statement. Its
        // writers do not wait for each other's whole transaction: a name
        // another client adds meanwhile is refused by the table's unique
        // index instead.
        detail::setAutocommit(handle_->dbc, false);
    } else {
        // The engine's own immediate transaction: the write lock now, not at the first write.
        detail::executeDirect(handle_->dbc, "BEGIN IMMEDIATE");
    }
    handle_->inTransaction = true;
}

void Connection::CommitTrans()
{
    if (!handle_ || !handle_->inTransaction)
        detail::fail(adErrObjectClosed, "No transaction is in progress on this connection.");
    try {
        if (detail::onServer(*handle_)) {
            detail::endTransaction(handle_->dbc, true);
            handle_->inTransaction = false;
            return;
        }
        detail::executeDirect(handle_->dbc, "COMMIT");
    } catch (const Error&) {
        // A commit that failed keeps nothing; the engine may have ended the
        // transaction itself, leaving nothing to roll back.
        resumeNext(lcConnection(), [&] { RollbackTrans(); });
        throw;
    }
    handle_->inTransaction = false;
}

void Connection::RollbackTrans()
{
    if (!handle_ || !handle_->inTransaction)
        detail::fail(adErrObjectClosed, "No transaction is in progress on this connection.");
    handle_->inTransaction = false;
    if (detail::onServer(*handle_))
        detail::endTransaction(handle_->dbc, false);
    else
        detail::executeDirect(handle_->dbc, "ROLLBACK");
}

std::string Connection::DatabaseFile() const { return handle_ ? handle_->database : std::string(); }

bool Connection::OnServer() const { return handle_ && detail::onServer(*handle_); }

} // namespace numora::ado
