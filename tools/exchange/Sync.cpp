// A group and a folder of one-card vCard files kept in step (see Sync.h).

#include "tools/exchange/Sync.h"
#include "tools/exchange/Text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "platform/ado/Ado.h"
#include "store/CardChecks.h"
#include "store/DirectoryFile.h"

namespace numora::exchange {
namespace {

constexpr char kStateTable[] = "NumoraSync";
constexpr char kConflicts[] = "conflicts";
constexpr char kSeparator = '\x1f'; // between a card's fields as the state keeps them

std::string sqlText(std::string_view s)
{
    std::string out = "'";
    for (char c : s) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

std::string joined(const Row& row)
{
    std::string out;
    for (std::size_t c = 0; c < row.size(); ++c) {
        if (c)
            out += kSeparator;
        out += row[c];
    }
    return out;
}

Row split(std::string_view text)
{
    Row row;
    std::size_t c = 0;
    for (std::size_t from = 0; c < row.size(); ++c) {
        const std::size_t at = text.find(kSeparator, from);
        row[c] = std::string(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos)
            break;
        from = at + 1;
    }
    return row;
}

bool isNumberColumn(int c) { return c >= store::kFieldHome && c <= store::kFieldFifth; }

// A card as a file gives it back once written: the group's own text may
// hold numbers typed with blanks, which a card read from a file never has.
Row normalised(const Row& row, const store::Table& table)
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

// The numbers of a card, to know it by when its name differs; empty when it
// has none.
std::string numbersOf(const Row& row)
{
    std::string key;
    for (int c = store::kFieldHome; c <= store::kFieldWork; ++c)
        key += row[static_cast<std::size_t>(c)] + kSeparator;
    return key.size() == 3 ? std::string() : key;
}

std::string stampOf(const struct stat& st)
{
    return std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + ":" +
           std::to_string(st.st_size) + ":" + std::to_string(st.st_ino);
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

struct FileEntry {
    std::string stamp;
    bool read = false;
    bool known = false; // the last run knew it
    std::string bytes;
    std::optional<Row> row; // nullopt: refused, reason in refusal
    std::string refusal;
    Notes notes;
};

std::map<std::string, FileEntry> listFolder(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        throw std::runtime_error(text::systemError(folder, "cannot read the folder"));
    struct Closer {
        DIR* d;
        ~Closer() { ::closedir(d); }
    } closer{dir};
    std::map<std::string, FileEntry> files;
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (name.size() <= 4 || !name.ends_with(".vcf") || name.front() == '.')
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))
            continue;
        files[std::string(name.substr(0, name.size() - 4))].stamp = stampOf(st);
    }
    return files;
}

void load(FileEntry& f, const std::string& path, const store::Table& table)
{
    if (f.read)
        return;
    f.read = true;
    try {
        f.bytes = readFile(path);
        ReadResult read = readVcard(f.bytes);
        if (read.cards.empty()) {
            f.refusal = read.unreadable.empty() ? "holds no card" : read.unreadable.front().reason;
            return;
        }
        read.cards.resize(1); // one card a file; the rest of a longer file stays where it is
        ImportPlan plan = planImport(std::move(read), table, {});
        f.notes = std::move(plan.notes);
        if (plan.toAdd.empty())
            f.refusal = plan.skipped.empty() ? "holds no card" : plan.skipped.front().reason;
        else
            f.row = std::move(plan.toAdd.front());
    } catch (const std::exception& e) {
        f.refusal = e.what();
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

// Written as NAME.tmp, flushed and renamed: the folder's syncing program
// passes .tmp files by, and sees the card old or new, never half.
std::string writeWhole(const std::string& path, const std::string& bytes)
{
    const std::string tmp = path + ".tmp";
    const int fd = ::open(tmp.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::runtime_error(text::systemError(tmp, "cannot write"));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const std::string why = text::systemError(tmp, "cannot write");
            ::close(fd);
            ::unlink(tmp.c_str());
            throw std::runtime_error(why);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0 || ::rename(tmp.c_str(), path.c_str()) != 0) {
        const std::string why = text::systemError(path, "cannot write");
        ::unlink(tmp.c_str());
        throw std::runtime_error(why);
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw std::runtime_error(text::systemError(path, "cannot read"));
    return stampOf(st);
}

// ---- the plan --------------------------------------------------------------------

struct StateEntry {
    std::string name;
    Row row; // the card as the file gives it back
    std::string stamp;
};

struct FolderWrite {
    std::string href;
    Row row;
};

struct GroupUpdate {
    std::string oldName;
    Row row;
};

struct Plan {
    std::vector<FolderWrite> writes;
    std::vector<std::string> deletes;                        // files
    std::vector<std::pair<std::string, std::string>> copies; // conflicts/NAME, bytes
    std::vector<Row> adds;
    std::vector<GroupUpdate> updates;
    std::vector<std::string> removals;                      // group names
    std::map<std::string, std::optional<StateEntry>> state; // nullopt: forget
};

std::unordered_map<std::string, StateEntry> readState(ado::Connection& cn, const store::Table& table)
{
    std::unordered_map<std::string, StateEntry> state;
    const auto exists =
        cn.Execute(std::string("SELECT name FROM sqlite_master WHERE type = 'table' AND name = '") + kStateTable + "'");
    if (!exists || exists->Eof())
        return state;
    ado::Recordset rs;
    rs.Open(std::string("SELECT Href, Name, Card, Stamp FROM ") + kStateTable + " WHERE Grp = " + sqlText(table.name),
            cn, ado::adOpenForwardOnly, ado::adLockReadOnly);
    const long count = rs.RecordCount();
    for (long r = 0; r < count; ++r) {
        StateEntry& e = state[std::string(rs.FieldViewAt(r, 0).value_or(""))];
        e.name = std::string(rs.FieldViewAt(r, 1).value_or(""));
        e.row = split(rs.FieldViewAt(r, 2).value_or(""));
        e.stamp = std::string(rs.FieldViewAt(r, 3).value_or(""));
    }
    return state;
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

void applyToGroup(ado::Connection& cn, const store::Table& table, const Plan& plan)
{
    // By the name as stored, which the index on Name finds; a name stored
    // with blanks around it (the group's names are read trimmed) is then
    // found by a slower look at every name.
    const auto byName = [&](const std::string& statement, const std::string& name) {
        long affected = 0;
        cn.Execute(statement + " WHERE Name = " + sqlText(name), &affected);
        if (affected == 0)
            cn.Execute(statement + " WHERE trim(Name, ' ' || char(9)) = " + sqlText(name));
    };
    for (const std::string& name : plan.removals)
        byName(std::string("DELETE FROM ") + table.name, name);
    for (const GroupUpdate& u : plan.updates) {
        std::string sql = std::string("UPDATE ") + table.name + " SET ";
        for (std::size_t c = 0; c < table.columns.size(); ++c)
            sql += std::string(c ? ", " : "") + table.columns[c].name + " = " + sqlText(u.row[c]);
        byName(sql, u.oldName);
    }
    std::vector<std::string> columns;
    for (const store::Column& column : table.columns)
        columns.emplace_back(column.name);
    if (!plan.adds.empty())
        cn.InsertRows(table.name, columns, plan.adds.size(),
                      [&](std::size_t r, std::size_t c) { return std::optional<std::string_view>(plan.adds[r][c]); });
    if (plan.state.empty())
        return;
    cn.Execute(std::string("CREATE TABLE IF NOT EXISTS ") + kStateTable +
               " (Grp TEXT NOT NULL, Href TEXT NOT NULL, Name TEXT, Card TEXT, Stamp TEXT, PRIMARY KEY (Grp, Href))");
    std::vector<std::pair<std::string, std::string>> kept; // href, card
    for (const auto& [href, entry] : plan.state) {
        cn.Execute(std::string("DELETE FROM ") + kStateTable + " WHERE Grp = " + sqlText(table.name) +
                   " AND Href = " + sqlText(href));
        if (entry)
            kept.emplace_back(href, joined(entry->row));
    }
    std::vector<const StateEntry*> entries;
    for (const auto& [href, entry] : plan.state) {
        if (entry)
            entries.push_back(&*entry);
    }
    if (!kept.empty())
        cn.InsertRows(kStateTable, {"Grp", "Href", "Name", "Card", "Stamp"}, kept.size(),
                      [&](std::size_t r, std::size_t c) -> std::optional<std::string_view> {
                          switch (c) {
                          case 0: return std::string_view(table.name);
                          case 1: return kept[r].first;
                          case 2: return entries[r]->name;
                          case 3: return kept[r].second;
                          default: return entries[r]->stamp;
                          }
                      });
}

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

    const auto run = [&](ado::Connection& cn) {
        std::map<std::string, FileEntry> files = listFolder(folder);
        const auto pathOf = [&](const std::string& href) { return folder + "/" + href + ".vcf"; };
        const auto loaded = [&](const std::string& href) -> FileEntry& {
            FileEntry& f = files.at(href);
            load(f, pathOf(href), table);
            return f;
        };
        std::vector<Row> group;
        db.readCards(table, [&](const store::DirectoryFile::CardTexts& texts) {
            Row& row = group.emplace_back();
            for (std::size_t c = 0; c < texts.size(); ++c)
                row[c] = std::string(texts[c]);
        });
        std::unordered_map<std::string, std::size_t> byName;
        for (std::size_t i = 0; i < group.size(); ++i)
            byName.emplace(group[i][store::kFieldName], i);
        std::vector<bool> claimed(group.size());
        std::unordered_set<std::string> used;
        for (const Row& row : group)
            used.insert(row[store::kFieldName]);
        const std::unordered_map<std::string, StateEntry> state = readState(cn, table);

        Plan plan;
        const auto remember = [&](const std::string& href, const Row& row, const std::string& stamp) {
            plan.state[href] = StateEntry{row[store::kFieldName], row, stamp};
        };
        const auto refuse = [&](const std::string& href, const std::string& name, const std::string& reason) {
            result.refused.push_back({0, 0, href + ".vcf" + (name.empty() ? "" : " (" + name + ")"), reason});
        };
        const auto writeFromGroup = [&](const std::string& href, const Row& row) {
            plan.writes.push_back({href, row});
            remember(href, row, {}); // its stamp once written
        };
        const auto keepFolderVersion = [&](const std::string& href, const FileEntry& f, const std::string& name) {
            const std::string copy = std::string(kConflicts) + "/" + href + "-" + timeNow() + ".vcf";
            plan.copies.emplace_back(copy, f.bytes);
            result.conflicts.push_back(name + ": the folder's version kept as " + copy);
        };
        // A card from the folder into the group, if its name is free.
        const auto addToGroup = [&](const std::string& href, const FileEntry& f) {
            const std::string& name = (*f.row)[store::kFieldName];
            if (used.count(name))
                return refuse(href, name, store::kNameUsed);
            used.insert(name);
            plan.adds.push_back(*f.row);
            result.addedToGroup.push_back(name);
            remember(href, *f.row, f.stamp);
        };

        // Cards the last run knew.
        std::size_t step = 0;
        for (const auto& [href, s] : state) {
            if (progress && ++step % 1000 == 0)
                progress("comparing", step, state.size());
            const auto g = byName.find(s.name);
            const bool inGroup = g != byName.end() && !claimed[g->second];
            Row groupRow;
            if (inGroup) {
                claimed[g->second] = true;
                // Most cards are as they were written: no need to clean them again.
                groupRow = group[g->second] == s.row ? s.row : normalised(group[g->second], table);
            }
            const auto fileIt = files.find(href);
            const bool inFolder = fileIt != files.end();
            const bool groupChanged = !inGroup || groupRow != s.row;
            bool folderChanged = !inFolder;
            if (inFolder && fileIt->second.stamp != s.stamp) {
                const FileEntry& f = loaded(href);
                folderChanged = !f.row || *f.row != s.row;
            }
            FileEntry* f = inFolder ? &fileIt->second : nullptr;
            if (f)
                f->known = true;
            if (!groupChanged && !folderChanged) {
                if (f && f->stamp != s.stamp)
                    remember(href, s.row, f->stamp);
                continue;
            }
            if (!folderChanged) {
                if (inGroup) {
                    writeFromGroup(href, groupRow);
                    result.changedInFolder.push_back(s.name);
                } else {
                    plan.deletes.push_back(href);
                    plan.state[href] = std::nullopt;
                    result.deletedFromFolder.push_back(s.name);
                }
                continue;
            }
            if (!groupChanged) {
                if (!inFolder) {
                    plan.removals.push_back(s.name);
                    used.erase(s.name);
                    plan.state[href] = std::nullopt;
                    result.deletedFromGroup.push_back(s.name);
                } else if (!f->row) {
                    refuse(href, s.name, f->refusal);
                } else {
                    const std::string& name = (*f->row)[store::kFieldName];
                    if (name != s.name && used.count(name)) {
                        refuse(href, name, store::kNameUsed);
                        continue;
                    }
                    used.erase(s.name);
                    used.insert(name);
                    plan.updates.push_back({s.name, *f->row});
                    result.changedInGroup.push_back(name);
                    remember(href, *f->row, f->stamp);
                }
                continue;
            }
            // Changed on both sides since the last run.
            if (!inGroup && !inFolder) {
                plan.state[href] = std::nullopt;
            } else if (!inGroup) {
                // Deleted here, changed in the folder: the edit is kept.
                if (!f->row) {
                    refuse(href, s.name, f->refusal);
                    plan.state[href] = std::nullopt;
                } else {
                    addToGroup(href, *f);
                }
            } else if (!inFolder) {
                writeFromGroup(href, groupRow); // changed here, deleted there: kept
                result.addedToFolder.push_back(s.name);
            } else if (f->row && *f->row == groupRow) {
                remember(href, groupRow, f->stamp);
            } else {
                keepFolderVersion(href, *f, groupRow[store::kFieldName]);
                writeFromGroup(href, groupRow);
            }
        }

        // Cards the last run did not know: matched by name, then by numbers.
        std::unordered_map<std::string, std::size_t> byNumbers;
        std::unordered_set<std::string> ambiguous;
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (claimed[i])
                continue;
            const std::string key = numbersOf(normalised(group[i], table));
            if (key.empty())
                continue;
            if (!byNumbers.emplace(key, i).second)
                ambiguous.insert(key);
        }
        for (auto& [href, f] : files) {
            if (f.known)
                continue;
            load(f, pathOf(href), table);
            result.notes.addCard(f.notes);
            if (!f.row) {
                refuse(href, {}, f.refusal);
                continue;
            }
            const Row& fileRow = *f.row;
            std::optional<std::size_t> match;
            if (const auto g = byName.find(fileRow[store::kFieldName]); g != byName.end() && !claimed[g->second])
                match = g->second;
            else if (const std::string key = numbersOf(fileRow); !key.empty() && !ambiguous.count(key)) {
                if (const auto n = byNumbers.find(key); n != byNumbers.end() && !claimed[n->second])
                    match = n->second;
            }
            if (!match) {
                addToGroup(href, f);
                continue;
            }
            claimed[*match] = true;
            const Row groupRow = normalised(group[*match], table);
            if (groupRow == fileRow) {
                remember(href, groupRow, f.stamp);
            } else {
                keepFolderVersion(href, f, groupRow[store::kFieldName]);
                writeFromGroup(href, groupRow);
            }
        }
        // Cards of the group no file holds yet.
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (claimed[i])
                continue;
            const Row row = normalised(group[i], table);
            writeFromGroup(newUid(), row);
            result.addedToFolder.push_back(row[store::kFieldName]);
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

        // The folder first: a run cut off after it finds these files equal
        // to the group next time.
        if (!plan.copies.empty()) {
            const std::string dir = folder + "/" + kConflicts;
            if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
                throw std::runtime_error(text::systemError(dir, "cannot make the folder"));
            for (const auto& [name, bytes] : plan.copies)
                writeWhole(folder + "/" + name, bytes);
        }
        for (std::size_t i = 0; i < plan.writes.size(); ++i) {
            const FolderWrite& w = plan.writes[i];
            const auto known = files.find(w.href);
            const std::string before = known != files.end() ? loaded(w.href).bytes : std::string();
            const std::string stamp = writeWhole(pathOf(w.href), cardFile(w.row, table, w.href, before, result.notes));
            plan.state[w.href]->stamp = stamp;
            if (progress && (i + 1) % 1000 == 0)
                progress("writing", i + 1, plan.writes.size());
        }
        for (const std::string& href : plan.deletes) {
            if (::unlink(pathOf(href).c_str()) != 0 && errno != ENOENT)
                throw std::runtime_error(text::systemError(pathOf(href), "cannot delete"));
        }
        if (const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
            ::fsync(dirFd);
            ::close(dirFd);
        }
        if (!plan.adds.empty() || !plan.updates.empty() || !plan.removals.empty() || !plan.state.empty())
            applyToGroup(cn, table, plan);
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
