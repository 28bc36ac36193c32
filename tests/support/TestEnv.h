#pragma once
// A private world for one test: a temporary folder holding the user data-source
// file (ODBCINI), the settings home (XDG_CONFIG_HOME), the registry hives
// (NUMORA_REGISTRY_DIR), the Windows folder (WINDIR) and a data folder.
// Everything is restored and removed when the object goes away, so tests never
// touch the user's own files.

#include <QString>
#include <QTemporaryDir>

#include <sys/types.h>

#include <map>
#include <optional>
#include <string>

namespace numora::test {

class TestEnv {
public:
    TestEnv();
    ~TestEnv();
    TestEnv(const TestEnv&) = delete;
    TestEnv& operator=(const TestEnv&) = delete;

    QString root() const;
    QString dataFolder() const; // ends in '/'
    QString odbcIni() const;
    QString dbPath() const; // dataFolder() + "VEMO.MDB"

    // Writes a user data source straight into the ODBCINI file (SQLite3 driver),
    // without going through the program's own registration.
    void writeDataSource(const QString& name, const QString& databaseFile) const;
    // The keys of a data source's entry in the ODBCINI file, as written on
    // disk; empty when there is no such entry.
    std::map<std::string, std::string> dataSourceEntry(const QString& name) const;

private:
    QTemporaryDir dir_;
    std::map<std::string, std::optional<std::string>> saved_;
    void setVar(const char* name, const QString& value);
};

// A file's bytes; empty when it cannot be read.
std::string fileBytes(const QString& path);
// Writes the bytes as the whole file; false when it cannot be written.
bool writeFileBytes(const QString& path, const std::string& bytes);
// The file's inode: a file replaced by a rename has a new one. 0 when missing.
ino_t inodeOf(const QString& path);

} // namespace numora::test
