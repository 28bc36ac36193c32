#include "platform/dao/DBEngine.h"

#include <odbcinst.h>
#include <sql.h>

#include <QLoggingCategory>

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/core/Files.h"
#include "platform/odbc/Ini.h"
#include "platform/odbc/Text.h"

namespace numora::dao {
namespace {

Q_LOGGING_CATEGORY(lcEngine, "numora.dao", QtInfoMsg)

using odbc::trimmed;
using odbc::userDataSourceFile;

bool sameKey(std::string_view a, std::string_view b) { return odbc::equalsIgnoringLatinCase(a, b); }

// Runs the registration in user mode, whatever mode the process is in: user
// data sources only, never the system-wide file.
class UserConfigMode {
public:
    UserConfigMode()
    {
        if (!SQLGetConfigMode(&saved_))
            saved_ = ODBC_BOTH_DSN;
        set_ = SQLSetConfigMode(ODBC_USER_DSN);
    }
    ~UserConfigMode()
    {
        if (set_ && !SQLSetConfigMode(saved_))
            qCWarning(lcEngine) << "the ODBC installer's configuration mode could not be set back to" << saved_;
    }
    UserConfigMode(const UserConfigMode&) = delete;
    UserConfigMode& operator=(const UserConfigMode&) = delete;

    // Whether the installer took user mode.
    bool set() const { return set_; }

private:
    UWORD saved_ = ODBC_BOTH_DSN;
    bool set_ = false;
};

std::string installedDriverLibrary(const std::string& driver)
{
    return odbc::profileString(odbc::kDrivers, driver, "Driver");
}

// A control character in a name or value would end its line in the file and
// start another entry of the writer's choosing.
bool holdsControlCharacter(std::string_view s)
{
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return true;
    }
    return false;
}

struct Attribute {
    std::string key;
    std::string value;
};

// ---- the data-source file ------------------------------------------------------
// Only the program's own entry is ever rewritten; every other line of the
// file, other programs' entries and comments included, is kept byte for byte.

// The file's lines, each with its line end.
std::vector<std::string_view> linesOf(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.push_back(text.substr(0, length));
        text.remove_prefix(length);
    }
    return lines;
}

// "[name]": the name; nullopt for any other line.
std::optional<std::string_view> sectionName(std::string_view line)
{
    const std::string_view t = trimmed(line);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    const auto close = t.find(']');
    return trimmed(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

// "key=value" inside a section; comments and blank lines are not.
std::optional<Attribute> property(std::string_view line)
{
    const std::string_view t = trimmed(line);
    if (t.empty() || t.front() == '#' || t.front() == ';')
        return std::nullopt;
    const auto eq = t.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return Attribute{std::string(trimmed(t.substr(0, eq))), std::string(trimmed(t.substr(eq + 1)))};
}

// The lines [begin, end) of each section of that name: the heading through its
// last property. Comments and blank lines after it belong to what follows.
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
};

std::vector<Span> sectionsNamed(const std::vector<std::string_view>& lines, std::string_view name)
{
    std::vector<Span> spans;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto heading = sectionName(lines[i]);
        if (!heading || !sameKey(*heading, name))
            continue;
        Span span{i, i + 1};
        for (std::size_t j = i + 1; j < lines.size() && !sectionName(lines[j]); ++j) {
            if (property(lines[j]))
                span.end = j + 1;
        }
        spans.push_back(span);
        i = span.end - 1;
    }
    return spans;
}

// Whether the file holds the entry exactly once, with exactly these keys and values.
bool entryIsCurrent(std::string_view text, const std::string& dsn, const std::vector<Attribute>& wanted)
{
    const auto lines = linesOf(text);
    const auto spans = sectionsNamed(lines, dsn);
    if (spans.size() != 1)
        return false;
    std::vector<Attribute> present;
    for (std::size_t i = spans[0].begin + 1; i < spans[0].end; ++i) {
        if (auto p = property(lines[i]))
            present.push_back(std::move(*p));
    }
    if (present.size() != wanted.size())
        return false;
    for (const Attribute& w : wanted) {
        const auto found = std::count_if(present.begin(), present.end(), [&](const Attribute& p) {
            return sameKey(p.key, w.key) && p.value == trimmed(w.value);
        });
        if (found != 1)
            return false;
    }
    return true;
}

// The file with the entry written anew in the place of the first one of that
// name (later ones dropped), or added at the end.
std::string withEntry(std::string_view text, const std::string& dsn, const std::vector<Attribute>& entry)
{
    std::string section = "[" + dsn + "]\n";
    for (const Attribute& a : entry)
        section += a.key + "=" + a.value + "\n";

    const auto lines = linesOf(text);
    const auto spans = sectionsNamed(lines, dsn);
    std::string out;
    if (spans.empty()) {
        out = text;
        if (!out.empty() && out.back() != '\n')
            out += '\n';
        if (!out.empty())
            out += '\n';
        return out + section;
    }
    std::size_t next = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (next < spans.size() && i == spans[next].begin) {
            if (next == 0)
                out += section;
            i = spans[next].end - 1;
            ++next;
            continue;
        }
        out += lines[i];
    }
    return out;
}

class RealEngine final : public Engine {
public:
    void RegisterDatabase(const std::string& dsn, const std::string& driver, bool /*silent*/,
                          const std::string& attributes) override
    {
        errors_.clear();
        const UserConfigMode userMode;
        if (!userMode.set())
            refuse(ODBC_ERROR_REQUEST_FAILED, "The ODBC installer would not work on user data sources only; the data "
                                              "source '" +
                                                  dsn + "' was not written.");

        // Everything is checked before the file is touched, so a refused
        // registration leaves the existing data source as it was.
        const bool mapped = sameKey(driver, kAccessDriverName);
        const std::string target = mapped ? std::string(kSqliteDriverName) : driver;
        if (target.empty() || installedDriverLibrary(target).empty()) {
            if (mapped)
                refuse(ODBC_ERROR_INVALID_NAME,
                       "The SQLite3 ODBC driver is not installed (the ODBC driver list has no [SQLite3] entry), "
                       "so the data source '" +
                           dsn + "' cannot be set up. Install the package libsqliteodbc.");
            refuse(ODBC_ERROR_INVALID_NAME, "Invalid driver name: '" + driver + "' is not an installed ODBC driver.");
        }
        if (dsn.empty() || holdsControlCharacter(dsn) || dsn.find_first_of("[]") != std::string::npos)
            refuse(ODBC_ERROR_INVALID_DSN, "Invalid data source name: '" + dsn + "'.");

        std::vector<Attribute> entry{{"Driver", target}};
        std::size_t start = 0;
        while (start <= attributes.size()) {
            auto end = attributes.find('\r', start);
            if (end == std::string::npos)
                end = attributes.size();
            const std::string text = attributes.substr(start, end - start);
            start = end + 1;
            if (text.empty())
                continue;
            const auto eq = text.find('=');
            if (eq == std::string::npos || eq == 0)
                refuse(ODBC_ERROR_INVALID_KEYWORD_VALUE, "Invalid keyword-value pair: '" + text + "'.");
            Attribute a{text.substr(0, eq), text.substr(eq + 1)};
            if (holdsControlCharacter(text) || a.key.find_first_of("[]") != std::string::npos)
                refuse(ODBC_ERROR_INVALID_KEYWORD_VALUE,
                       "The data source attribute '" + a.key + "' holds a control character; nothing was written.");
            // The old driver's library path means nothing here and must not
            // replace the Driver key that names the installed driver.
            if (sameKey(a.key, "Driver"))
                continue;
            if (sameKey(a.key, "DBQ"))
                a.key = "Database";
            entry.push_back(std::move(a));
        }

        // An entry that says what it should already is left alone, so every
        // later start reads the file and writes nothing. Otherwise the whole
        // file is replaced in one step: a kill at any moment leaves the old
        // file or the new one, and two starts at once each write a whole file.
        const std::string file = userDataSourceFile();
        if (file.empty())
            refuse(ODBC_ERROR_REQUEST_FAILED,
                   "The ODBC installer names no user data-source file; the data source '" + dsn + "' was not written.");
        std::optional<std::string> text;
        try {
            text = files::readWhole(file);
        } catch (const Error& e) {
            refuse(ODBC_ERROR_REQUEST_FAILED, "The data source file " + file + " could not be read: " +
                                                  e.description() + ". Nothing was written to it.");
        }
        if (!text || !entryIsCurrent(*text, dsn, entry)) {
            try {
                files::replaceWhole(file, withEntry(text.value_or(std::string()), dsn, entry));
            } catch (const Error& e) {
                refuse(ODBC_ERROR_REQUEST_FAILED,
                       "The data source '" + dsn + "' could not be written to " + file + ": " + e.description() + ".");
            }
        }

        // Read the entry back as the installer sees it before calling the
        // registration done.
        odbc::forgetCachedDataSources();
        bool written = true;
        for (const Attribute& a : entry)
            written =
                written && trimmed(odbc::profileString(odbc::kDataSources, dsn, a.key.c_str())) == trimmed(a.value);
        if (!written)
            refuse(ODBC_ERROR_REQUEST_FAILED,
                   "The data source '" + dsn + "' written to " + file + " does not read back as written.");
    }

    const std::vector<EngineError>& Errors() const override { return errors_; }

private:
    [[noreturn]] void refuse(long number, std::string description)
    {
        errors_.push_back({number, std::move(description)});
        throw Error(errors_.front().Number, errors_.front().Description);
    }

    std::vector<EngineError> errors_;
};

} // namespace

std::map<std::string, std::string> userDataSourceEntry(const std::string& dsn)
{
    std::map<std::string, std::string> keys;
    const std::string file = userDataSourceFile();
    if (file.empty())
        return keys;
    std::optional<std::string> text;
    try {
        text = files::readWhole(file);
    } catch (const Error&) {
        return keys;
    }
    if (!text)
        return keys;
    const auto lines = linesOf(*text);
    const auto spans = sectionsNamed(lines, dsn);
    if (spans.empty())
        return keys;
    for (std::size_t i = spans[0].begin + 1; i < spans[0].end; ++i) {
        if (auto p = property(lines[i]))
            keys.emplace(std::move(p->key), std::move(p->value));
    }
    return keys;
}

Seam<Engine>& databaseEngine()
{
    static RealEngine real;
    static Seam<Engine> seam(real);
    return seam;
}

Engine& DBEngine() { return databaseEngine().get(); }

} // namespace numora::dao
