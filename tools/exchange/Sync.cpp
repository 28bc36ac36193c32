// A group and a folder of one-card vCard files kept in step (see Sync.h).

#include "tools/exchange/Sync.h"
#include "tools/exchange/Text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "platform/ado/Ado.h"
#include "store/CardChecks.h"
#include "store/DirectoryFile.h"
#include "store/Listing.h"

namespace numora::exchange {
namespace {

// The record of the first release: one table for both groups, each card's
// whole text in Card. Read as it is, and moved into the tables below by the
// next sync that is not a dry run.
constexpr char kOldStateTable[] = "NumoraSync";
constexpr char kOldSeparator = '\x1f'; // between a card's fields in its Card
constexpr char kConflicts[] = "conflicts";
constexpr std::string_view kCardExtension = ".vcf";
constexpr std::string_view kTemporary = ".tmp";
// Up to this many files written are flushed one by one; more, with one
// flush of the whole file system, which waits for the disk once rather than
// once a file.
constexpr std::size_t kFilesFlushedAlone = 16;

// The group's record: one table a group, so that a sync reads its own
// group's rows alone, without naming the group as a value.
std::string stateTable(const store::Table& table) { return std::string(kOldStateTable) + table.name; }
std::string gonesTable(const store::Table& table) { return stateTable(table) + "Gone"; }

bool isNumberColumn(int c) { return c >= store::kFieldHome && c <= store::kFieldFifth; }

using CardTexts = store::CardTexts;

CardTexts textsOf(const Row& row)
{
    CardTexts texts;
    for (std::size_t c = 0; c < texts.size(); ++c)
        texts[c] = row[c];
    return texts;
}

// A card as a file gives it back once written: the group's own text may
// hold numbers typed with blanks, which a card read from a file never has.
Row normalised(const CardTexts& row, const store::Table& table)
{
    Row out;
    bool dropped = false;
    for (int c = 0; c < store::kCardFields; ++c) {
        const auto at = static_cast<std::size_t>(c);
        const Kind kind = kindOfColumn(table, c);
        out[at] = text::cleaned(row[at], kind == Kind::Address, dropped);
        if (isNumberColumn(c) && kind != Kind::Dept)
            out[at] = text::dialable(out[at]);
    }
    return out;
}

// What the record keeps of a card: a fingerprint of its fields, enough to
// tell whether a side changed it since. FNV-1a, which gives the same value
// on every machine and in every build, as a value kept in a file must.
using Print = std::uint64_t;

Print printOf(const CardTexts& fields)
{
    std::uint64_t h = 14695981039346656037ull;
    const auto mix = [&](unsigned char c) {
        h ^= c;
        h *= 1099511628211ull;
    };
    for (const std::string_view field : fields) {
        for (const char c : field)
            mix(static_cast<unsigned char>(c));
        mix(kOldSeparator); // "ab","c" and "a","bc" differ
    }
    return h;
}

Print printOf(const Row& row) { return printOf(textsOf(row)); }

std::string printText(Print print)
{
    char text[17];
    const auto end = std::to_chars(text, text + sizeof text, print, 16).ptr;
    return std::string(text, end);
}

std::optional<Print> parsePrint(std::string_view text)
{
    Print print = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), print, 16);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return print;
}

// The card's fields as the first release kept them, joined by kOldSeparator.
CardTexts splitOld(std::string_view text)
{
    CardTexts row;
    std::size_t c = 0;
    for (std::size_t from = 0; c < row.size(); ++c) {
        const std::size_t at = text.find(kOldSeparator, from);
        row[c] = text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from);
        if (at == std::string_view::npos)
            break;
        from = at + 1;
    }
    return row;
}

// The numbers of a card, to know it by when its name differs; empty when it
// has none.
std::string numbersOf(const Row& row)
{
    std::string key;
    for (int c = store::kFieldHome; c <= store::kFieldWork; ++c)
        key += row[static_cast<std::size_t>(c)] + kOldSeparator;
    return key.size() == 3 ? std::string() : key;
}

// A file as it was seen: a file rewritten in place or replaced differs in
// one of these.
struct Stamp {
    long long seconds = 0, nanoseconds = 0, size = 0;
    unsigned long long inode = 0; // 0: no file
    bool operator==(const Stamp&) const = default;
};

Stamp stampOf(const struct stat& st) { return {st.st_mtim.tv_sec, st.st_mtim.tv_nsec, st.st_size, st.st_ino}; }

// "seconds.nanoseconds:size:inode", as the record has always kept it.
std::string stampText(const Stamp& s)
{
    return std::to_string(s.seconds) + "." + std::to_string(s.nanoseconds) + ":" + std::to_string(s.size) + ":" +
           std::to_string(s.inode);
}

Stamp parseStamp(std::string_view text)
{
    Stamp s;
    const char* at = text.data();
    const char* const end = at + text.size();
    const auto number = [&](auto& value, char after) {
        const auto [next, error] = std::from_chars(at, end, value);
        if (error != std::errc() || (after && (next == end || *next != after)))
            return false;
        at = after ? next + 1 : next;
        return true;
    };
    if (!number(s.seconds, '.') || !number(s.nanoseconds, ':') || !number(s.size, ':') || !number(s.inode, 0) ||
        at != end)
        return {}; // never a file's: the file is read and compared
    return s;
}

std::string newUid()
{
    static std::random_device device;
    static constexpr char hex[] = "0123456789abcdef";
    std::string uid = "numora-";
    for (int i = 0; i < 4; ++i) {
        unsigned v = device();
        for (int j = 0; j < 8; ++j, v >>= 4)
            uid += hex[v & 15];
    }
    return uid;
}

// ---- the files ---------------------------------------------------------------

struct FileCard {
    std::string bytes;
    std::optional<Row> row; // nullopt: refused, reason in refusal
    std::string refusal;
    Notes notes;
};

struct FileEntry {
    std::string href; // the name without .vcf
    Stamp stamp;
    bool known = false;             // the last run knew it
    std::unique_ptr<FileCard> card; // once read
};

struct Folder {
    std::vector<FileEntry> files;
    std::unordered_map<std::string_view, std::size_t> byHref; // into files
    std::vector<std::string> temporaries;                     // NAME.vcf.tmp: a write cut short
};

// Whether name is a temporary file of the sync's own naming: NAME.vcf.tmp.
bool isOwnTemporary(std::string_view name)
{
    if (!name.ends_with(kTemporary))
        return false;
    name.remove_suffix(kTemporary.size());
    return name.size() > kCardExtension.size() && name.ends_with(kCardExtension) && name.front() != '.';
}

// The folder's card files with their stamps, each looked at once: the
// directory's entries say which are plain files without a look of their own.
Folder listFolder(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        throw std::runtime_error(text::systemError(folder, "cannot read the folder"));
    struct Closer {
        DIR* d;
        ~Closer() { ::closedir(d); }
    } closer{dir};
    Folder listed;
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (e->d_type != DT_REG && e->d_type != DT_UNKNOWN && e->d_type != DT_LNK)
            continue;
        if (isOwnTemporary(name)) {
            listed.temporaries.emplace_back(name);
            continue;
        }
        if (name.size() <= kCardExtension.size() || !name.ends_with(kCardExtension) || name.front() == '.')
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))
            continue;
        listed.files.push_back(
            {std::string(name.substr(0, name.size() - kCardExtension.size())), stampOf(st), false, {}});
    }
    listed.byHref.reserve(listed.files.size());
    for (std::size_t i = 0; i < listed.files.size(); ++i)
        listed.byHref.emplace(listed.files[i].href, i);
    return listed;
}

// Removes what a sync cut short left in dir: its own temporary files, no other.
void removeTemporaries(const std::string& dir, const std::vector<std::string>& names)
{
    for (const std::string& name : names) {
        const std::string path = dir + "/" + name;
        if (::unlink(path.c_str()) != 0 && errno != ENOENT)
            throw std::runtime_error(text::systemError(path, "cannot delete"));
    }
}

void load(FileEntry& f, const std::string& path, const store::Table& table)
{
    if (f.card)
        return;
    f.card = std::make_unique<FileCard>();
    FileCard& card = *f.card;
    try {
        card.bytes = readFile(path);
        ReadResult read = readVcard(card.bytes);
        if (read.cards.empty()) {
            card.refusal = read.unreadable.empty() ? "holds no card" : read.unreadable.front().reason;
            return;
        }
        read.cards.resize(1); // one card a file; the rest of a longer file stays where it is
        ImportPlan plan = planImport(std::move(read), table, {});
        card.notes = std::move(plan.notes);
        if (plan.toAdd.empty())
            card.refusal = plan.skipped.empty() ? "holds no card" : plan.skipped.front().reason;
        else
            card.row = std::move(plan.toAdd.front());
    } catch (const std::exception& e) {
        card.refusal = e.what();
    }
}

using text::appendFolded;

// The card as the file to write: vCard 3.0 with its UID, keeping what a
// phone stored in the file before that the group does not hold (a birthday,
// a photo, a note), so that a change made here takes none of it away.
std::string cardFile(const Row& row, const store::Table& table, const std::string& href, std::string_view before,
                     Notes& notes)
{
    Card card;
    for (int c = 0; c < store::kCardFields; ++c)
        card[kindOfColumn(table, c)] = row[static_cast<std::size_t>(c)];
    std::string written = writeVcard(std::span<const Card>(&card, 1), table, notes, WriteOptions{"3.0"});
    std::string uid = href;
    std::string kept;
    // The earlier file unfolded, its lines up to its first card's end.
    std::string unfolded;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] == '\r')
            continue;
        if (before[i] == '\n' && i + 1 < before.size() && (before[i + 1] == ' ' || before[i + 1] == '\t')) {
            ++i;
            continue;
        }
        unfolded += before[i];
    }
    std::size_t from = 0;
    bool inCard = false;
    while (from < unfolded.size()) {
        std::size_t end = unfolded.find('\n', from);
        if (end == std::string::npos)
            end = unfolded.size();
        const std::string_view line(unfolded.data() + from, end - from);
        from = end + 1;
        std::string_view name = line.substr(0, line.find_first_of(";:"));
        if (const std::size_t dot = name.find('.'); dot != std::string_view::npos)
            name.remove_prefix(dot + 1);
        const std::string upper = text::asciiUpper(name);
        if (upper == "BEGIN") {
            inCard = true;
            continue;
        }
        if (upper == "END")
            break;
        if (!inCard)
            continue;
        if (upper == "UID") {
            const std::size_t colon = line.find(':');
            if (colon != std::string_view::npos && colon + 1 < line.size())
                uid = std::string(line.substr(colon + 1));
            continue;
        }
        static const std::unordered_set<std::string> ours{"VERSION", "N",      "FN",  "TEL",  "ADR",
                                                          "EMAIL",   "PRODID", "REV", "LABEL"};
        if (ours.count(upper) || (upper == "ORG" && &table == &store::kWorkTable))
            continue;
        appendFolded(kept, line);
    }
    const std::size_t version = written.find("VERSION:3.0\r\n") + std::strlen("VERSION:3.0\r\n");
    std::string uidLine;
    appendFolded(uidLine, "UID:" + uid);
    written.insert(version, uidLine);
    written.insert(written.size() - std::strlen("END:VCARD\r\n"), kept);
    return written;
}

// A file to be written: first as NAME.tmp, which the folder's syncing
// program passes by, then renamed into place once every such file is on
// the disk, so that program sees each card old or new, never half.
class FileWrites {
public:
    void add(std::string path, const std::string& bytes)
    {
        const std::string tmp = path + std::string(kTemporary);
        const int fd = ::open(tmp.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
        if (fd < 0)
            throw std::runtime_error(text::systemError(tmp, "cannot write"));
        Written& w = written_.emplace_back(Written{std::move(path), {}, fd});
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw std::runtime_error(text::systemError(tmp, "cannot write"));
            done += static_cast<std::size_t>(n);
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            throw std::runtime_error(text::systemError(tmp, "cannot write"));
        w.stamp = stampOf(st); // a rename keeps the time, the size and the inode
        if (written_.size() > kFilesFlushedAlone)
            closeAll(); // no more files open than a few
    }

    // Every file on the disk, then in its place; the stamp of each, in the
    // order added. A file the disk refused is removed, and nothing renamed.
    std::vector<Stamp> commit(const std::string& folder)
    {
        if (written_.empty())
            return {};
        if (written_.size() <= kFilesFlushedAlone) {
            for (Written& w : written_) {
                if (::fdatasync(w.fd) != 0)
                    throw std::runtime_error(text::systemError(w.path + std::string(kTemporary), "cannot write"));
            }
        } else {
            const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            const bool flushed = dirFd >= 0 && ::syncfs(dirFd) == 0;
            if (dirFd >= 0)
                ::close(dirFd);
            if (!flushed)
                throw std::runtime_error(text::systemError(folder, "cannot write"));
        }
        closeAll();
        std::vector<Stamp> stamps;
        for (Written& w : written_) {
            const std::string tmp = w.path + std::string(kTemporary);
            if (::rename(tmp.c_str(), w.path.c_str()) != 0)
                throw std::runtime_error(text::systemError(w.path, "cannot write"));
            w.renamed = true;
            stamps.push_back(w.stamp);
        }
        return stamps;
    }

    FileWrites() = default;
    FileWrites(const FileWrites&) = delete;
    FileWrites& operator=(const FileWrites&) = delete;
    ~FileWrites()
    {
        closeAll();
        for (const Written& w : written_) {
            if (!w.renamed)
                ::unlink((w.path + std::string(kTemporary)).c_str());
        }
    }

private:
    struct Written {
        std::string path;
        Stamp stamp;
        int fd = -1;
        bool renamed = false;
    };
    void closeAll()
    {
        for (; open_ < written_.size(); ++open_) {
            if (written_[open_].fd >= 0)
                ::close(written_[open_].fd);
            written_[open_].fd = -1;
        }
    }
    std::vector<Written> written_;
    std::size_t open_ = 0; // the first that may be open
};

void syncFolder(const std::string& folder)
{
    if (const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

// ---- the record ------------------------------------------------------------------

struct StateEntry {
    std::string href, name;
    Print print = 0; // of the card as the file gives it back
    Stamp stamp;
};

struct FolderWrite {
    std::string href;
    Row row;
};

struct GroupUpdate {
    long row; // in the group's listing
    Row fields;
};

struct Plan {
    std::vector<FolderWrite> writes;
    std::vector<std::string> deletes;                        // files
    std::vector<std::pair<std::string, std::string>> copies; // conflicts/NAME, bytes
    std::vector<Row> adds;
    std::vector<GroupUpdate> updates;
    std::vector<long> removals;                             // rows of the group's listing
    std::map<std::string, std::optional<StateEntry>> state; // nullopt: forget
};

std::unordered_set<std::string> tablesOf(ado::Connection& cn)
{
    std::unordered_set<std::string> names;
    ado::Recordset rs;
    rs.Open("SELECT name FROM sqlite_master", cn, ado::adOpenForwardOnly, ado::adLockReadOnly);
    for (long r = 0; r < rs.RecordCount(); ++r)
        names.emplace(rs.FieldViewAt(r, 0).value_or(""));
    return names;
}

// The first release's record, each row's card as its fingerprint, by the
// table of its group.
std::map<std::string, std::vector<StateEntry>> readOldState(ado::Connection& cn)
{
    std::map<std::string, std::vector<StateEntry>> byGroup;
    ado::Recordset rs;
    rs.Open(std::string("SELECT Grp, Href, Name, Card, Stamp FROM ") + kOldStateTable, cn, ado::adOpenForwardOnly,
            ado::adLockReadOnly);
    for (long r = 0; r < rs.RecordCount(); ++r) {
        const auto text = [&](int c) { return rs.FieldViewAt(r, c).value_or(""); };
        byGroup[std::string(text(0))].push_back(
            {std::string(text(1)), std::string(text(2)), printOf(splitOld(text(3))), parseStamp(text(4))});
    }
    return byGroup;
}

std::vector<StateEntry> readState(ado::Connection& cn, const store::Table& table,
                                  const std::unordered_set<std::string>& tables)
{
    std::vector<StateEntry> state;
    if (tables.count(stateTable(table))) {
        ado::Recordset rs;
        rs.Open("SELECT Href, Name, Hash, Stamp FROM " + stateTable(table), cn, ado::adOpenForwardOnly,
                ado::adLockReadOnly);
        const long count = rs.RecordCount();
        state.reserve(static_cast<std::size_t>(count));
        for (long r = 0; r < count; ++r) {
            const auto text = [&](int c) { return rs.FieldViewAt(r, c).value_or(""); };
            // A fingerprint that cannot be read matches no card: both
            // sides then count as changed, and an equal pair is recorded
            // anew, an unequal one kept as a conflict. Nothing is deleted.
            state.push_back(
                {std::string(text(0)), std::string(text(1)), parsePrint(text(2)).value_or(0), parseStamp(text(3))});
        }
    }
    return state;
}

constexpr const char* kStateColumns[] = {"Href", "Name", "Hash", "Stamp"};

void createStateTable(ado::Connection& cn, const store::Table& table)
{
    // A row written again for the same file replaces the one before.
    cn.Execute("CREATE TABLE IF NOT EXISTS " + stateTable(table) +
               " (Href TEXT PRIMARY KEY ON CONFLICT REPLACE, Name TEXT, Hash TEXT, Stamp TEXT)");
}

void writeState(ado::Connection& cn, const store::Table& table, const std::vector<const StateEntry*>& entries)
{
    if (entries.empty())
        return;
    std::vector<std::array<std::string, 2>> texts; // hash, stamp
    texts.reserve(entries.size());
    for (const StateEntry* e : entries)
        texts.push_back({printText(e->print), stampText(e->stamp)});
    cn.InsertRows(stateTable(table), {std::begin(kStateColumns), std::end(kStateColumns)}, entries.size(),
                  [&](std::size_t r, std::size_t c) -> std::optional<std::string_view> {
                      switch (c) {
                      case 0: return entries[r]->href;
                      case 1: return entries[r]->name;
                      default: return texts[r][c - 2];
                      }
                  });
}

// The first release's record moved into the tables of the groups, in the
// sync's transaction: a run cut off keeps the old one.
void upgradeOldState(ado::Connection& cn, const std::map<std::string, std::vector<StateEntry>>& old)
{
    for (const store::Table* table : store::kTables) {
        createStateTable(cn, *table);
        const auto rows = old.find(table->name);
        if (rows == old.end())
            continue;
        std::vector<const StateEntry*> entries;
        for (const StateEntry& e : rows->second)
            entries.push_back(&e);
        writeState(cn, *table, entries);
    }
    cn.Execute(std::string("DROP TABLE ") + kOldStateTable);
}

void forgetState(ado::Connection& cn, const store::Table& table, const std::vector<std::string_view>& hrefs)
{
    if (hrefs.empty())
        return;
    // The files' names go in as values, through a table of the connection's own.
    const std::string gone = gonesTable(table);
    cn.Execute("CREATE TEMP TABLE " + gone + " (Href TEXT)");
    cn.InsertRows(gone, {"Href"}, hrefs.size(),
                  [&](std::size_t r, std::size_t) -> std::optional<std::string_view> { return hrefs[r]; });
    cn.Execute("DELETE FROM " + stateTable(table) + " WHERE Href IN (SELECT Href FROM " + gone + ")");
    cn.Execute("DROP TABLE " + gone);
}

std::string timeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::gmtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &tm);
    return text;
}

// The group's cards through the data core's card calls: those the editor
// changes and deletes a card with, and the import's add, all in the
// transaction of the sync's record.
void applyToGroup(store::DirectoryFile& db, const store::Listing& listing, const store::Table& table, Plan& plan)
{
    for (const long row : plan.removals) {
        store::Card card = listing.card(static_cast<int>(row) + 1);
        store::deleteCard(card);
    }
    for (const GroupUpdate& u : plan.updates) {
        store::Card card = listing.card(static_cast<int>(u.row) + 1);
        store::LookUp lookUp;
        // The name was tested against the group's names as this
        // transaction read them.
        store::updateCard(card, table, u.fields, std::nullopt, lookUp);
    }
    if (!plan.adds.empty())
        db.addCards(table, [&](const std::vector<std::string>&) { return plan.adds; });
}

// The names of the group as the sync changes it: those read, less those
// freed, and those taken since; the duplicate test of every card it adds
// or renames.
struct GroupNames {
    const std::unordered_map<std::string_view, std::size_t>& read;
    std::unordered_set<std::string> freed, taken;

    bool has(const std::string& name) const { return taken.count(name) || (read.count(name) && !freed.count(name)); }
    void free(const std::string& name)
    {
        taken.erase(name);
        freed.insert(name);
    }
    void take(const std::string& name)
    {
        freed.erase(name);
        taken.insert(name);
    }
};

// A view of the group's cards as the sync compares them: trimmed, a column
// the file lacks read as the empty text.
class GroupCards {
public:
    GroupCards(store::Listing listing, const store::Table& table, const std::string& database)
        : listing_(std::move(listing))
    {
        for (std::size_t c = 0; c < at_.size(); ++c)
            at_[c] = listing_.findColumn(table.columns[c].name);
        if (at_[store::kFieldName] < 0)
            throw std::runtime_error(database + ": not a directory database: its table " + table.name + " has no Name");
        count_ = static_cast<std::size_t>(listing_.count());
    }
    std::size_t size() const { return count_; }
    CardTexts texts(std::size_t i) const
    {
        CardTexts texts;
        for (std::size_t c = 0; c < texts.size(); ++c) {
            texts[c] = at_[c] < 0 ? std::string_view()
                                  : store::trimBlanks(listing_.text(static_cast<long>(i), at_[c]).value_or(""));
        }
        return texts;
    }
    std::string_view name(std::size_t i) const
    {
        return store::trimBlanks(listing_.text(static_cast<long>(i), at_[store::kFieldName]).value_or(""));
    }
    const store::Listing& listing() const { return listing_; }

private:
    store::Listing listing_;
    std::array<int, store::kCardFields> at_{};
    std::size_t count_ = 0;
};

} // namespace

SyncResult syncGroup(const std::string& database, const store::Table& table, const std::string& folder,
                     const SyncOptions& options, const Progress& progress)
{
    SyncResult result;
    struct stat folderStat {};
    errno = 0;
    if (::stat(folder.c_str(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode))
        throw std::runtime_error(folder + ": is no folder of cards" +
                                 (errno ? std::string(": ") + std::strerror(errno) : std::string()));
    store::DirectoryFile db(database);
    const std::string conflictsFolder = folder + "/" + kConflicts;

    const auto run = [&](ado::Connection& cn) {
        // The folder is looked at file by file while the group and the
        // record are read: neither waits for the other.
        std::future<Folder> listing = std::async(std::launch::async, listFolder, folder);
        const auto pathOf = [&](const std::string& href) { return folder + "/" + href + std::string(kCardExtension); };
        const auto loaded = [&](FileEntry& f) -> FileCard& {
            load(f, pathOf(f.href), table);
            return *f.card;
        };
        const GroupCards group(store::storedCards(cn, table), table, database);
        // Each card's fingerprint as the group holds it; most cards are as
        // they were written, and are not cleaned again to be compared.
        std::vector<Print> groupPrint(group.size());
        std::unordered_map<std::string_view, std::size_t> byName;
        byName.reserve(group.size());
        for (std::size_t i = 0; i < group.size(); ++i) {
            const CardTexts texts = group.texts(i);
            groupPrint[i] = printOf(texts);
            byName.emplace(texts[store::kFieldName], i);
        }
        std::vector<bool> claimed(group.size());
        GroupNames used{byName, {}, {}};
        const std::unordered_set<std::string> tables = tablesOf(cn);
        std::map<std::string, std::vector<StateEntry>> oldState;
        std::vector<StateEntry> state = readState(cn, table, tables);
        if (tables.count(kOldStateTable)) {
            // Only a build of the first release, run after this one, makes
            // that table again: its rows are the later ones.
            oldState = readOldState(cn);
            if (auto mine = oldState.find(table.name); mine != oldState.end()) {
                std::unordered_set<std::string_view> later;
                for (const StateEntry& e : mine->second)
                    later.insert(e.href);
                std::erase_if(state, [&](const StateEntry& e) { return later.count(e.href) > 0; });
                state.insert(state.end(), mine->second.begin(), mine->second.end());
            }
        }

        Folder listed = listing.get();
        std::vector<FileEntry>& files = listed.files;
        const auto fileOf = [&](std::string_view href) -> FileEntry* {
            const auto at = listed.byHref.find(href);
            return at == listed.byHref.end() ? nullptr : &files[at->second];
        };
        Plan plan;
        const auto remember = [&](const std::string& href, std::string_view name, Print print, const Stamp& stamp) {
            plan.state[href] = StateEntry{href, std::string(name), print, stamp};
        };
        const auto forget = [&](const std::string& href) { plan.state[href] = std::nullopt; };
        const auto refuse = [&](const std::string& href, const std::string& name, const std::string& reason) {
            result.refused.push_back(
                {0, 0, href + std::string(kCardExtension) + (name.empty() ? "" : " (" + name + ")"), reason});
        };
        const auto writeFromGroup = [&](const std::string& href, Row row) {
            remember(href, row[store::kFieldName], printOf(row), {}); // its stamp once written
            plan.writes.push_back({href, std::move(row)});
        };
        const auto keepFolderVersion = [&](const std::string& href, const FileCard& f, const std::string& name) {
            const std::string copy = std::string(kConflicts) + "/" + href + "-" + timeNow() + ".vcf";
            plan.copies.emplace_back(copy, f.bytes);
            result.conflicts.push_back(name + ": the folder's version kept as " + copy);
        };
        // A card from the folder into the group, if its name is free.
        const auto addToGroup = [&](const FileEntry& f) {
            const Row& row = *f.card->row;
            const std::string& name = row[store::kFieldName];
            if (used.has(name))
                return refuse(f.href, name, store::kNameUsed);
            used.take(name);
            plan.adds.push_back(row);
            result.addedToGroup.push_back(name);
            remember(f.href, name, printOf(row), f.stamp);
        };

        // Cards the last run knew.
        std::size_t step = 0;
        for (const StateEntry& s : state) {
            if (progress && ++step % 1000 == 0)
                progress("comparing", step, state.size());
            const auto g = byName.find(s.name);
            const bool inGroup = g != byName.end() && !claimed[g->second];
            std::optional<Row> groupRow; // cleaned, once needed
            bool groupChanged = !inGroup;
            if (inGroup) {
                claimed[g->second] = true;
                if (groupPrint[g->second] != s.print) {
                    groupRow = normalised(group.texts(g->second), table);
                    groupChanged = printOf(*groupRow) != s.print;
                }
            }
            const auto rowOfGroup = [&]() -> const Row& {
                if (!groupRow)
                    groupRow = normalised(group.texts(g->second), table);
                return *groupRow;
            };
            FileEntry* f = fileOf(s.href);
            const bool inFolder = f != nullptr;
            bool folderChanged = !inFolder;
            if (f) {
                f->known = true;
                if (f->stamp != s.stamp) {
                    const FileCard& card = loaded(*f);
                    folderChanged = !card.row || printOf(*card.row) != s.print;
                }
            }
            if (!groupChanged && !folderChanged) {
                if (f->stamp != s.stamp)
                    remember(s.href, s.name, s.print, f->stamp);
                continue;
            }
            if (!folderChanged) {
                if (inGroup) {
                    writeFromGroup(s.href, rowOfGroup());
                    result.changedInFolder.push_back(s.name);
                } else {
                    plan.deletes.push_back(s.href);
                    forget(s.href);
                    result.deletedFromFolder.push_back(s.name);
                }
                continue;
            }
            if (!groupChanged) {
                if (!inFolder) {
                    plan.removals.push_back(static_cast<long>(g->second));
                    used.free(s.name);
                    forget(s.href);
                    result.deletedFromGroup.push_back(s.name);
                } else if (!f->card->row) {
                    refuse(s.href, s.name, f->card->refusal);
                } else {
                    const Row& row = *f->card->row;
                    const std::string& name = row[store::kFieldName];
                    if (name != s.name && used.has(name)) {
                        refuse(s.href, name, store::kNameUsed);
                        continue;
                    }
                    used.free(s.name);
                    used.take(name);
                    plan.updates.push_back({static_cast<long>(g->second), row});
                    result.changedInGroup.push_back(name);
                    remember(s.href, name, printOf(row), f->stamp);
                }
                continue;
            }
            // Changed on both sides since the last run.
            if (!inGroup && !inFolder) {
                forget(s.href);
            } else if (!inGroup) {
                // Deleted here, changed in the folder: the edit is kept.
                if (!f->card->row) {
                    refuse(s.href, s.name, f->card->refusal);
                    forget(s.href);
                } else {
                    addToGroup(*f);
                }
            } else if (!inFolder) {
                writeFromGroup(s.href, rowOfGroup()); // changed here, deleted there: kept
                result.addedToFolder.push_back(s.name);
            } else if (f->card->row && *f->card->row == rowOfGroup()) {
                remember(s.href, s.name, printOf(rowOfGroup()), f->stamp);
            } else {
                keepFolderVersion(s.href, *f->card, rowOfGroup()[store::kFieldName]);
                writeFromGroup(s.href, rowOfGroup());
            }
        }

        // Cards the last run did not know: matched by name, then by numbers.
        std::unordered_map<std::string, std::size_t> byNumbers;
        std::unordered_set<std::string> ambiguous;
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (claimed[i])
                continue;
            const std::string key = numbersOf(normalised(group.texts(i), table));
            if (key.empty())
                continue;
            if (!byNumbers.emplace(key, i).second)
                ambiguous.insert(key);
        }
        for (FileEntry& f : files) {
            if (f.known)
                continue;
            const FileCard& card = loaded(f);
            result.notes.addCard(card.notes);
            if (!card.row) {
                refuse(f.href, {}, card.refusal);
                continue;
            }
            const Row& fileRow = *card.row;
            std::optional<std::size_t> match;
            if (const auto g = byName.find(fileRow[store::kFieldName]); g != byName.end() && !claimed[g->second])
                match = g->second;
            else if (const std::string key = numbersOf(fileRow); !key.empty() && !ambiguous.count(key)) {
                if (const auto n = byNumbers.find(key); n != byNumbers.end() && !claimed[n->second])
                    match = n->second;
            }
            if (!match) {
                addToGroup(f);
                continue;
            }
            claimed[*match] = true;
            Row groupRow = normalised(group.texts(*match), table);
            if (groupRow == fileRow) {
                remember(f.href, groupRow[store::kFieldName], printOf(groupRow), f.stamp);
            } else {
                keepFolderVersion(f.href, card, groupRow[store::kFieldName]);
                writeFromGroup(f.href, std::move(groupRow));
            }
        }
        // Cards of the group no file holds yet.
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (claimed[i])
                continue;
            Row row = normalised(group.texts(i), table);
            result.addedToFolder.push_back(row[store::kFieldName]);
            writeFromGroup(newUid(), std::move(row));
        }

        const auto tooMany = [&](std::size_t deletions, std::size_t cards) {
            return deletions > kFewDeletions || (deletions > 1 && deletions * 10 > cards);
        };
        if (!options.force && (tooMany(result.deletedFromGroup.size(), group.size()) ||
                               tooMany(result.deletedFromFolder.size(), files.size()))) {
            result.stopped = true;
            result.stopReason = "the sync would delete " + std::to_string(result.deletedFromGroup.size()) +
                                " cards from the group and " + std::to_string(result.deletedFromFolder.size()) +
                                " files from the folder; nothing was changed. Run it with --force if that is meant";
            return;
        }
        if (options.dryRun)
            return;

        // What a run cut off left half written is of no use to anyone.
        removeTemporaries(folder, listed.temporaries);
        if (DIR* dir = ::opendir(conflictsFolder.c_str())) {
            std::vector<std::string> stale;
            while (const dirent* e = ::readdir(dir)) {
                if (isOwnTemporary(e->d_name))
                    stale.emplace_back(e->d_name);
            }
            ::closedir(dir);
            removeTemporaries(conflictsFolder, stale);
        }

        // The folder first: a run cut off after it finds these files equal
        // to the group next time.
        {
            FileWrites copies;
            if (!plan.copies.empty() && ::mkdir(conflictsFolder.c_str(), 0755) != 0 && errno != EEXIST)
                throw std::runtime_error(text::systemError(conflictsFolder, "cannot make the folder"));
            for (const auto& [name, bytes] : plan.copies)
                copies.add(folder + "/" + name, bytes);
            copies.commit(conflictsFolder);
            if (!plan.copies.empty())
                syncFolder(conflictsFolder);
        }
        FileWrites writes;
        for (std::size_t i = 0; i < plan.writes.size(); ++i) {
            const FolderWrite& w = plan.writes[i];
            FileEntry* known = fileOf(w.href);
            const std::string before = known ? loaded(*known).bytes : std::string();
            writes.add(pathOf(w.href), cardFile(w.row, table, w.href, before, result.notes));
            if (progress && (i + 1) % 1000 == 0)
                progress("writing", i + 1, plan.writes.size());
        }
        const std::vector<Stamp> stamps = writes.commit(folder);
        for (std::size_t i = 0; i < stamps.size(); ++i)
            plan.state[plan.writes[i].href]->stamp = stamps[i];
        for (const std::string& href : plan.deletes) {
            if (::unlink(pathOf(href).c_str()) != 0 && errno != ENOENT)
                throw std::runtime_error(text::systemError(pathOf(href), "cannot delete"));
        }
        syncFolder(folder);

        applyToGroup(db, group.listing(), table, plan);
        if (tables.count(kOldStateTable))
            upgradeOldState(cn, oldState);
        if (plan.state.empty())
            return;
        createStateTable(cn, table);
        std::vector<std::string_view> gone;
        std::vector<const StateEntry*> kept;
        for (const auto& [href, entry] : plan.state) {
            if (entry)
                kept.push_back(&*entry);
            else
                gone.push_back(href);
        }
        forgetState(cn, table, gone);
        writeState(cn, table, kept);
    };
    if (options.dryRun)
        db.reading(run);
    else
        db.changing(run);
    return result;
}

std::vector<std::string> syncSummary(const SyncResult& result, bool dryRun)
{
    std::vector<std::string> lines;
    if (result.stopped) {
        lines.push_back(result.stopReason);
        return lines;
    }
    const std::string would = dryRun ? "would be " : "";
    const auto list = [&](const char* what, const std::vector<std::string>& names) {
        for (const std::string& name : names)
            lines.push_back(would + what + ": " + text::shown(name));
    };
    // What asks the user's attention first: a box shows the first few lines.
    for (const std::string& c : result.conflicts)
        lines.push_back("changed on both sides, the group's version kept: " + text::printable(c));
    for (const Skipped& s : result.refused)
        lines.push_back("refused " + text::shown(s.name) + ": " + text::printable(s.reason));
    list("added to the group", result.addedToGroup);
    list("changed in the group", result.changedInGroup);
    list("deleted from the group", result.deletedFromGroup);
    list("added to the folder", result.addedToFolder);
    list("changed in the folder", result.changedInFolder);
    list("deleted from the folder", result.deletedFromFolder);
    for (const std::string& note : result.notes.lines())
        lines.push_back("note: " + text::printable(note));
    if (lines.empty())
        lines.push_back("the group and the folder were already in step");
    if (dryRun)
        lines.push_back("nothing was changed (--dry-run)");
    return lines;
}

} // namespace numora::exchange
