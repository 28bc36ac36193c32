#include "platform/com/ClassRegistry.h"

#include "platform/com/ComSupport.h"

#include <QFileInfo>

namespace numora::com {
namespace {

using registry::ERROR_FILE_NOT_FOUND;
using registry::ERROR_SUCCESS;

struct Entry {
    QString key;
    QString name; // empty: the key's default value
    QString value;
};

// Every value the server's registration consists of, keys relative to Classes.
std::vector<Entry> entriesOf(const ServerEntry& s)
{
    const QString lib = guidText(s.libid);
    const QString version = QStringLiteral("%1.%2").arg(s.major).arg(s.minor);
    const QString typeLib = QStringLiteral("TypeLib\\") + lib + QLatin1Char('\\') + version;
    std::vector<Entry> out{
        {typeLib, {}, s.libraryName},
        {typeLib + QStringLiteral("\\FLAGS"), {}, s.controlLibrary ? QStringLiteral("2") : QStringLiteral("0")},
        {typeLib + QLatin1Char('\\') + QString::number(s.lcid, 16) + QStringLiteral("\\linux"), {}, s.path},
        {typeLib + QStringLiteral("\\HELPDIR"), {}, QFileInfo(s.path).absolutePath()},
    };
    for (const ClassEntry& c : s.classes) {
        const QString key = QStringLiteral("CLSID\\") + guidText(c.clsid);
        out.push_back({key, {}, c.progId.isEmpty() ? c.name : c.progId});
        out.push_back({key + QStringLiteral("\\InprocServer32"), {}, s.path});
        out.push_back(
            {key + QStringLiteral("\\InprocServer32"), QStringLiteral("ThreadingModel"), QStringLiteral("Apartment")});
        out.push_back({key + QStringLiteral("\\TypeLib"), {}, lib});
        out.push_back({key + QStringLiteral("\\Version"), {}, version});
        if (c.control)
            out.push_back({key + QStringLiteral("\\Control"), {}, {}});
        if (!c.progId.isEmpty()) {
            out.push_back({key + QStringLiteral("\\ProgID"), {}, c.progId});
            out.push_back({c.progId, {}, c.name});
            out.push_back({c.progId + QStringLiteral("\\CLSID"), {}, guidText(c.clsid)});
        }
    }
    for (const InterfaceEntry& i : s.interfaces) {
        const QString key = QStringLiteral("Interface\\") + guidText(i.iid);
        out.push_back({key, {}, i.name});
        out.push_back({key + QStringLiteral("\\TypeLib"), {}, lib});
        out.push_back({key + QStringLiteral("\\TypeLib"), QStringLiteral("Version"), version});
    }
    return out;
}

// The top keys that unregistering removes, relative to Classes.
std::vector<QString> treesOf(const ServerEntry& s)
{
    std::vector<QString> out{QStringLiteral("TypeLib\\") + guidText(s.libid)};
    for (const ClassEntry& c : s.classes) {
        out.push_back(QStringLiteral("CLSID\\") + guidText(c.clsid));
        if (!c.progId.isEmpty())
            out.push_back(c.progId);
    }
    for (const InterfaceEntry& i : s.interfaces)
        out.push_back(QStringLiteral("Interface\\") + guidText(i.iid));
    return out;
}

std::string classesKey(const QString& key) { return (QStringLiteral("Software\\Classes\\") + key).toStdString(); }

std::optional<QString> classesText(const QString& key)
{
    const std::optional<std::string> text = registry::readText(registry::HKEY_CLASSES_ROOT, key.toStdString());
    return text ? std::optional<QString>(QString::fromStdString(*text)) : std::nullopt;
}

} // namespace

HRESULT registerServer(registry::HKEY root, const ServerEntry& server)
{
    registry::Batch batch;
    // The library's version is registered afresh: a locale it was registered
    // under before does not stay beside the present one.
    const QString version =
        QStringLiteral("TypeLib\\%1\\%2.%3").arg(guidText(server.libid)).arg(server.major).arg(server.minor);
    const registry::LONG rc = registry::RegDeleteTreeA(root, classesKey(version).c_str());
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        return SELFREG_E_CLASS;
    for (const Entry& e : entriesOf(server)) {
        if (registry::writeText(root, classesKey(e.key), e.name.toStdString(), e.value.toStdString()) != ERROR_SUCCESS)
            return SELFREG_E_CLASS; // what was written before stays, as it would key by key
    }
    return batch.commit() == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

HRESULT unregisterServer(registry::HKEY root, const ServerEntry& server)
{
    registry::Batch batch;
    HRESULT hr = S_OK;
    for (const QString& tree : treesOf(server)) {
        const registry::LONG rc = registry::RegDeleteTreeA(root, classesKey(tree).c_str());
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
            hr = SELFREG_E_CLASS;
    }
    return batch.commit() == ERROR_SUCCESS ? hr : SELFREG_E_CLASS;
}

std::optional<CLSID> classOfProgId(const QString& progId)
{
    if (progId.isEmpty() || progId.contains(QLatin1Char('\\')))
        return std::nullopt;
    const std::optional<QString> text = classesText(progId + QStringLiteral("\\CLSID"));
    return text ? guidFromText(*text) : std::nullopt;
}

std::optional<QString> serverOfClass(const CLSID& clsid)
{
    return classesText(QStringLiteral("CLSID\\") + guidText(clsid) + QStringLiteral("\\InprocServer32"));
}

} // namespace numora::com
