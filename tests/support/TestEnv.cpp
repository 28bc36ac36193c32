#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <sys/stat.h>

#include <cstdlib>

namespace numora::test {

TestEnv::TestEnv()
{
    QDir d(dir_.path());
    for (const char* sub : {"config", "registry", "windows", "data"})
        d.mkpath(QString::fromLatin1(sub));
    setVar("ODBCINI", odbcIni());
    setVar("XDG_CONFIG_HOME", root() + QStringLiteral("/config"));
    setVar("NUMORA_REGISTRY_DIR", root() + QStringLiteral("/registry"));
    setVar("WINDIR", root() + QStringLiteral("/windows"));
}

TestEnv::~TestEnv()
{
    for (const auto& [name, value] : saved_) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
}

void TestEnv::setVar(const char* name, const QString& value)
{
    if (!saved_.count(name)) {
        const char* old = std::getenv(name);
        saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    setenv(name, value.toLocal8Bit().constData(), 1);
}

QString TestEnv::root() const { return dir_.path(); }
QString TestEnv::dataFolder() const { return root() + QStringLiteral("/data/"); }
QString TestEnv::odbcIni() const { return root() + QStringLiteral("/odbc.ini"); }
QString TestEnv::dbPath() const { return dataFolder() + QStringLiteral("VEMO.MDB"); }

void TestEnv::writeDataSource(const QString& name, const QString& databaseFile) const
{
    QFile f(odbcIni());
    f.open(QIODevice::Append | QIODevice::Text);
    const QString text = QStringLiteral("[%1]\nDriver=SQLite3\nDatabase=%2\n\n").arg(name, databaseFile);
    f.write(text.toUtf8());
}

std::map<std::string, std::string> TestEnv::dataSourceEntry(const QString& name) const
{
    std::map<std::string, std::string> keys;
    QFile f(odbcIni());
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    QTextStream in(&f);
    bool inside = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inside = line == QLatin1Char('[') + name + QLatin1Char(']');
            continue;
        }
        const auto eq = line.indexOf(QLatin1Char('='));
        if (inside && eq > 0)
            keys[line.left(eq).trimmed().toStdString()] = line.mid(eq + 1).trimmed().toStdString();
    }
    return keys;
}

std::string fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
}

bool writeFileBytes(const QString& path, const std::string& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           f.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

ino_t inodeOf(const QString& path)
{
    struct stat st {};
    return ::stat(path.toLocal8Bit().constData(), &st) == 0 ? st.st_ino : 0;
}

} // namespace numora::test
