// The data file as a whole, through the engine's own API: whether another
// program holds it, putting another file's content into it in place, copying
// it out, and removing what copies cut short left beside it. These are the
// only operations of the program on the engine's own API; every card goes
// through the ODBC layers.
//
// Every connection to the file, the ODBC driver's in this program and any
// other program's, goes through the engine's locks on that one file. Content
// that replaces the data file is therefore written into it by the engine,
// under its exclusive lock, never renamed over it: a rename would leave each
// open connection on the old file, and a writer that was busy on it would
// play its journal back into the new one.

#include "store/Store.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <cerrno>
#include <filesystem>

#include "platform/core/Error.h"
#include "platform/core/Files.h"
#include "platform/core/LockWait.h"

namespace numora::store {
namespace {

Q_LOGGING_CATEGORY(lcDataFile, "numora.datafile", QtInfoMsg)

bool busy(int rc) { return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED; }

// One connection of the engine's own to a file; never creates one.
class Engine {
public:
    Engine(const QString& file, int flags)
    {
        rc_ = sqlite3_open_v2(QFile::encodeName(file).constData(), &db_, flags, nullptr);
        if (db_)
            sqlite3_extended_result_codes(db_, 1);
    }
    ~Engine() { sqlite3_close(db_); }
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    bool opened() const { return rc_ == SQLITE_OK; }
    sqlite3* get() const { return db_; }
    void waitFor(int ms) { sqlite3_busy_timeout(db_, ms); }

    int exec(const char* sql) { return rc_ = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }
    // The first column of the first row; empty when there is none.
    QString text(const char* sql)
    {
        sqlite3_stmt* st = nullptr;
        QString out;
        rc_ = sqlite3_prepare_v2(db_, sql, -1, &st, nullptr);
        if (rc_ == SQLITE_OK && (rc_ = sqlite3_step(st)) == SQLITE_ROW)
            out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        if (rc_ == SQLITE_ROW || rc_ == SQLITE_DONE)
            rc_ = SQLITE_OK;
        sqlite3_finalize(st);
        return out;
    }
    int rc() const { return rc_; }
    void setRc(int rc) { rc_ = rc; }
    QString message() const { return db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory"); }

private:
    sqlite3* db_ = nullptr;
    int rc_ = SQLITE_OK;
};

// Copies the whole of source into dest, in one step and one transaction of
// dest's: all of it lands, or none.
int copyInto(Engine& dest, Engine& source)
{
    sqlite3_backup* backup = sqlite3_backup_init(dest.get(), "main", source.get(), "main");
    if (!backup)
        return sqlite3_extended_errcode(dest.get());
    const int stepped = sqlite3_backup_step(backup, -1);
    const int finished = sqlite3_backup_finish(backup);
    return stepped == SQLITE_DONE ? finished : stepped;
}

// A copy takes its source's header, journal mode included; the copy keeps
// the mode its file had (a new file: an ordinary journal).
void keepJournalMode(Engine& db, const QString& mode)
{
    const QByteArray sql = "PRAGMA journal_mode = " + (mode.isEmpty() ? QByteArray("DELETE") : mode.toLatin1());
    db.text(sql.constData());
}

QString inUseBy(const QString& file)
{
    return QStringLiteral("The directory file %1 is in use by another program").arg(file);
}

// A hidden copy a replacement or copy cut short left: ".<name>.XXXXXX".
bool isLeftoverOf(const QString& entry, const QStringList& names)
{
    static const QRegularExpression temporary(QStringLiteral("^\\.(.+)\\.[A-Za-z0-9]{6}$"));
    const QRegularExpressionMatch m = temporary.match(entry);
    if (!m.hasMatch())
        return false;
    for (const QString& name : names) {
        if (m.captured(1).compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The leftovers beside the data file, of it and of its backup.
QStringList leftoversBeside(const QString& dataFile)
{
    const QFileInfo data(dataFile);
    const QStringList names{data.fileName(), QLatin1String(kBackupFileName)};
    QStringList found;
    const QDir folder = data.dir();
    for (const QString& entry : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (isLeftoverOf(entry, names))
            found << folder.filePath(entry);
    }
    return found;
}

void removeAll(const QStringList& files)
{
    for (const QString& file : files) {
        if (QFile::remove(file))
            qCDebug(lcDataFile) << "removed what a copy cut short left:" << file;
    }
}

// Copies what source holds to a new file at `to`, put in place whole (it
// takes the permissions of the file it replaces, else of sourceFile; with
// failIfExists a file there is never replaced). Throws Error with a sentence
// naming the file; a source another program holds past the busy wait has
// its own number (the engine's busy one).
void copyOut(Engine& source, const QString& sourceFile, const QString& to, bool failIfExists = false)
{
    files::FileBeside copy(QFile::encodeName(to).toStdString(), QFile::encodeName(sourceFile).toStdString());
    {
        Engine out(QFile::decodeName(QByteArray::fromStdString(copy.name())), SQLITE_OPEN_READWRITE);
        const int rc = out.opened() ? copyInto(out, source) : out.rc();
        if (busy(rc))
            throw Error(SQLITE_BUSY, inUseBy(sourceFile).toStdString());
        if (rc != SQLITE_OK)
            throw Error(rc, QStringLiteral("The file %1 could not be written: %2.")
                                .arg(to, QString::fromUtf8(sqlite3_errstr(rc)))
                                .toStdString());
        keepJournalMode(out, QString());
    }
    copy.putInPlace(failIfExists);
}

} // namespace

bool fileInUse(const QString& file, FileUse use, int waitMs)
{
    if (file.isEmpty() || !QFileInfo(file).isFile())
        return false;
    Engine db(file, SQLITE_OPEN_READWRITE);
    if (!db.opened())
        return false;
    db.waitFor(waitMs < 0 ? locks::glanceMs() : waitMs);
    const int rc = db.exec(use == FileUse::Writing ? "BEGIN IMMEDIATE" : "BEGIN; SELECT count(*) FROM sqlite_master");
    db.exec("ROLLBACK");
    return busy(rc);
}

QString replaceDataFile(const QString& from, const QString& dataFile, const QString& backup, bool* inUse)
{
    if (inUse)
        *inUse = false;
    std::error_code ec;
    if (std::filesystem::equivalent(QFile::encodeName(from).toStdString(), QFile::encodeName(dataFile).toStdString(),
                                    ec))
        return QStringLiteral("The file %1 is the directory file itself; there is nothing to import.").arg(from);

    Engine live(dataFile, SQLITE_OPEN_READWRITE);
    if (!live.opened())
        return QStringLiteral("The directory file %1 could not be opened: %2.").arg(dataFile, live.message());
    live.waitFor(locks::busyTimeoutMs());
    // The engine's exclusive lock, kept (in exclusive locking mode) past the
    // transaction that took it, until the new content is in: no other
    // connection reads or writes the file meanwhile, and a writer busy on it
    // keeps it, with its work, until it has finished.
    live.exec("PRAGMA locking_mode = EXCLUSIVE");
    if (live.exec("BEGIN EXCLUSIVE") != SQLITE_OK || live.exec("COMMIT") != SQLITE_OK) {
        if (busy(live.rc())) {
            if (inUse)
                *inUse = true;
            return inUseBy(dataFile) + QStringLiteral("; nothing was imported. Try again when that program has "
                                                      "finished with it.");
        }
        return QStringLiteral("The directory file %1 could not be locked: %2.").arg(dataFile, live.message());
    }
    const QString journalMode = live.text("PRAGMA journal_mode");
    // No other import is under way now; what one cut short left can go.
    removeAll(leftoversBeside(dataFile));

    if (!backup.isEmpty()) {
        try {
            copyOut(live, dataFile, backup);
        } catch (const Error& e) {
            return QString::fromStdString(e.description()) + QStringLiteral(" Nothing was imported.");
        }
    }

    Engine source(from, SQLITE_OPEN_READONLY);
    if (!source.opened())
        return QStringLiteral("The file %1 could not be opened: %2.").arg(from, source.message());
    source.waitFor(locks::busyTimeoutMs());
    if (const int rc = copyInto(live, source); rc != SQLITE_OK) {
        live.setRc(rc);
        const QString reason =
            busy(rc) ? QStringLiteral("it is in use by another program") : QString::fromUtf8(sqlite3_errstr(rc));
        return QStringLiteral("The file %1 could not be read into the directory file: %2. The directory file is "
                              "as it was.")
            .arg(from, reason);
    }
    keepJournalMode(live, journalMode);
    live.exec("PRAGMA locking_mode = NORMAL");
    live.exec("SELECT count(*) FROM sqlite_master"); // lets the lock go
    return {};
}

void copyDataFile(const QString& dataFile, const QString& to, bool failIfExists)
{
    if (failIfExists && QFileInfo::exists(to))
        throw Error(EEXIST, QStringLiteral("The file %1 already exists.").arg(to).toStdString());
    // The engine reads the file under its shared lock, so a write another
    // program commits meanwhile is in the copy whole or not at all, and one
    // it has under way is never in it.
    Engine source(dataFile, SQLITE_OPEN_READONLY);
    if (!source.opened())
        throw Error(source.rc(),
                    QStringLiteral("The file %1 could not be read: %2.").arg(dataFile, source.message()).toStdString());
    source.waitFor(locks::busyTimeoutMs());
    try {
        copyOut(source, dataFile, to, failIfExists);
    } catch (const Error& e) {
        if (e.number() != SQLITE_BUSY)
            throw;
        throw Error(e.number(), (e.description() + "; nothing was copied. Try again when that program has finished "
                                                   "with it.")
                                    .c_str());
    }
}

void removeLeftovers(const QString& dataFolder)
{
    const QString dataFile = dataFilePath(dataFolder);
    const QStringList found = leftoversBeside(dataFile);
    if (found.isEmpty())
        return;
    // A copy another instance is making now is not left over: those are
    // made only under the data file's exclusive lock, so they are removed
    // only while that lock can be had at once.
    if (QFileInfo(dataFile).isFile()) {
        Engine live(dataFile, SQLITE_OPEN_READWRITE);
        if (!live.opened() || live.exec("BEGIN EXCLUSIVE") != SQLITE_OK) {
            qCDebug(lcDataFile) << "leftovers kept while the directory file is in use:" << found;
            return;
        }
        removeAll(found);
        live.exec("ROLLBACK");
        return;
    }
    removeAll(found);
}

} // namespace numora::store
