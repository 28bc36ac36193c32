#include "platform/registry/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QLoggingCategory>
#include <QSaveFile>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace numora::registry {
namespace {

Q_LOGGING_CATEGORY(lcRegistry, "numora.registry", QtWarningMsg)

constexpr char kFormat[] = "numora-hive-1";
constexpr char kClasses[] = "Software\\Classes";
constexpr char kMachineFolder[] = "/var/lib/numora/registry";

bool sameName(const QByteArray& a, const QByteArray& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// "\a\\b\" and "a\b" name the same key.
QByteArray normalised(const QByteArray& path)
{
    QByteArrayList parts;
    for (const QByteArray& part : path.split('\\'))
        if (!part.isEmpty())
            parts << part;
    return parts.join('\\');
}

QByteArray joined(const QByteArray& parent, const char* child)
{
    const QByteArray sub = normalised(QByteArray(child ? child : ""));
    if (parent.isEmpty())
        return sub;
    return sub.isEmpty() ? parent : parent + '\\' + sub;
}

bool isText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

// The item of that name (keys by path, values by name), or null.
template <class T>
T* named(std::vector<T>& items, QByteArray T::*field, const QByteArray& name)
{
    for (T& item : items)
        if (sameName(item.*field, name))
            return &item;
    return nullptr;
}

struct Value {
    QByteArray name;
    DWORD type = REG_NONE;
    QByteArray data;
};

struct Key {
    QByteArray path;
    bool readOnly = false;
    std::vector<Value> values;

    Value* value(const QByteArray& name) { return named(values, &Value::name, name); }
};

// One hive file, read whole.
struct Hive {
    QString file;
    bool readable = true;
    std::vector<Key> keys;

    Key* key(const QByteArray& path) { return named(keys, &Key::path, path); }

    static Hive load(const QString& file)
    {
        Hive hive;
        hive.file = file;
        QFile f(file);
        if (!f.exists())
            return hive;
        QJsonParseError error{};
        const QJsonDocument doc =
            f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll(), &error) : QJsonDocument();
        if (doc.isNull() || doc.object().value(QLatin1String("format")).toString() != QLatin1String(kFormat)) {
            qCInfo(lcRegistry) << "hive" << file << "cannot be read as a hive; its keys are skipped"
                               << error.errorString();
            hive.readable = false;
            return hive;
        }
        for (const QJsonValue& kv : doc.object().value(QLatin1String("keys")).toArray()) {
            const QJsonObject ko = kv.toObject();
            Key k;
            k.path = normalised(ko.value(QLatin1String("key")).toString().toUtf8());
            k.readOnly = ko.value(QLatin1String("readOnly")).toBool();
            for (const QJsonValue& vv : ko.value(QLatin1String("values")).toArray()) {
                const QJsonObject vo = vv.toObject();
                Value v;
                v.name = vo.value(QLatin1String("name")).toString().toUtf8();
                v.type = static_cast<DWORD>(vo.value(QLatin1String("type")).toInteger());
                if (vo.contains(QLatin1String("text")))
                    v.data = vo.value(QLatin1String("text")).toString().toUtf8() + '\0';
                else
                    v.data = QByteArray::fromHex(vo.value(QLatin1String("hex")).toString().toLatin1());
                k.values.push_back(std::move(v));
            }
            hive.keys.push_back(std::move(k));
        }
        return hive;
    }

    bool save() const
    {
        QJsonArray keyArray;
        for (const Key& k : keys) {
            QJsonObject ko{{QLatin1String("key"), QString::fromUtf8(k.path)}};
            if (k.readOnly)
                ko.insert(QLatin1String("readOnly"), true);
            QJsonArray valueArray;
            for (const Value& v : k.values) {
                QJsonObject vo{{QLatin1String("name"), QString::fromUtf8(v.name)},
                               {QLatin1String("type"), static_cast<qint64>(v.type)}};
                // Texts stay readable in the file; anything else is kept as hex.
                const QByteArray text = v.data.left(v.data.indexOf('\0'));
                if (isText(v.type) && v.data.endsWith('\0') && text.size() == v.data.size() - 1)
                    vo.insert(QLatin1String("text"), QString::fromUtf8(text));
                else
                    vo.insert(QLatin1String("hex"), QString::fromLatin1(v.data.toHex()));
                valueArray.append(vo);
            }
            if (!valueArray.isEmpty())
                ko.insert(QLatin1String("values"), valueArray);
            keyArray.append(ko);
        }
        const QJsonObject root{{QLatin1String("format"), QLatin1String(kFormat)}, {QLatin1String("keys"), keyArray}};
        QSaveFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(QJsonDocument(root).toJson()) < 0 || !f.commit()) {
            qCInfo(lcRegistry) << "hive" << file << "could not be written:" << f.errorString();
            return false;
        }
        return true;
    }
};

// Whether this process may write the file: the file itself when it exists,
// else the nearest folder above it that exists (on a fresh machine the
// machine hive's folder and its parent are both still to be made).
bool mayWrite(const QString& file)
{
    QFileInfo info(file);
    if (info.exists())
        return ::access(QFile::encodeName(file).constData(), W_OK) == 0;
    QString dir = info.absolutePath();
    while (!QFileInfo::exists(dir)) {
        const QString parent = QFileInfo(dir).absolutePath();
        if (parent == dir)
            break;
        dir = parent;
    }
    return ::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0;
}

// Where a key lives: a hive (by its root) and a path inside it.
struct Place {
    HKEY hive;
    QByteArray path;
};

class RealRegistry final : public Registry {
public:
    LONG openKey(HKEY key, const char* subKey, REGSAM access, HKEY* result) override
    {
        if (!result)
            return ERROR_INVALID_PARAMETER;
        std::vector<Place> candidates;
        if (key == HKEY_CLASSES_ROOT) {
            candidates = {{HKEY_CURRENT_USER, joined(kClasses, subKey)},
                          {HKEY_LOCAL_MACHINE, joined(kClasses, subKey)}};
        } else {
            const std::optional<Place> place = resolve(key, subKey);
            if (!place)
                return ERROR_INVALID_HANDLE;
            candidates = {*place};
        }
        for (const Place& place : candidates) {
            const QString file = hivePath(place.hive);
            Hive hive = snapshot(place.hive);
            Key* k = hive.key(place.path);
            if (!k && !place.path.isEmpty())
                continue;
            if ((access & kWriteRights) && (!hive.readable || !mayWrite(file) || (k && k->readOnly)))
                return ERROR_ACCESS_DENIED;
            *result = remember(place, access);
            return ERROR_SUCCESS;
        }
        return ERROR_FILE_NOT_FOUND;
    }

    LONG createKey(HKEY key, const char* subKey, REGSAM access, HKEY* result, DWORD* disposition) override
    {
        if (!result)
            return ERROR_INVALID_PARAMETER;
        const std::optional<Place> place = resolve(key, subKey);
        if (!place)
            return ERROR_INVALID_HANDLE;
        DWORD how = REG_OPENED_EXISTING_KEY;
        const LONG rc = modify(place->hive, [&](Hive& hive) -> LONG {
            if (Key* k = hive.key(place->path)) {
                if ((access & kWriteRights) && k->readOnly)
                    return ERROR_ACCESS_DENIED;
                return ERROR_SUCCESS;
            }
            // The key and every missing key above it; a new key changes its
            // parent, which therefore must not be read-only.
            QByteArray path;
            bool parentReadOnly = hive.key({}) && hive.key({})->readOnly;
            for (const QByteArray& part : place->path.split('\\')) {
                path = path.isEmpty() ? part : path + '\\' + part;
                if (Key* existing = hive.key(path)) {
                    parentReadOnly = existing->readOnly;
                    continue;
                }
                if (parentReadOnly)
                    return ERROR_ACCESS_DENIED;
                hive.keys.push_back(Key{path, false, {}});
            }
            how = REG_CREATED_NEW_KEY;
            return ERROR_SUCCESS;
        });
        if (rc != ERROR_SUCCESS)
            return rc;
        if (disposition)
            *disposition = how;
        *result = remember(*place, access);
        return ERROR_SUCCESS;
    }

    LONG queryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) override
    {
        const std::optional<Place> place = resolve(key, nullptr);
        if (!place)
            return ERROR_INVALID_HANDLE;
        if (!(accessOf(key) & KEY_QUERY_VALUE))
            return ERROR_ACCESS_DENIED;
        if (data && !size)
            return ERROR_INVALID_PARAMETER;
        Hive hive = snapshot(place->hive);
        Key* k = hive.key(place->path);
        Value* v = k ? k->value(QByteArray(name ? name : "")) : nullptr;
        if (!v)
            return ERROR_FILE_NOT_FOUND;
        if (type)
            *type = v->type;
        const auto needed = static_cast<DWORD>(v->data.size());
        if (!size)
            return ERROR_SUCCESS;
        if (data && *size < needed) {
            *size = needed;
            return ERROR_MORE_DATA;
        }
        if (data)
            std::memcpy(data, v->data.constData(), needed);
        *size = needed;
        return ERROR_SUCCESS;
    }

    LONG setValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) override
    {
        const std::optional<Place> place = resolve(key, nullptr);
        if (!place)
            return ERROR_INVALID_HANDLE;
        if (!(accessOf(key) & KEY_SET_VALUE))
            return ERROR_ACCESS_DENIED;
        if (!data && size)
            return ERROR_INVALID_PARAMETER;
        QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
        if (isText(type) && !bytes.endsWith('\0'))
            bytes += '\0';
        return modify(place->hive, [&](Hive& hive) -> LONG {
            Key* k = hive.key(place->path);
            if (!k && place->path.isEmpty()) {
                hive.keys.push_back(Key{});
                k = &hive.keys.back();
            }
            if (!k)
                return ERROR_FILE_NOT_FOUND;
            if (k->readOnly)
                return ERROR_ACCESS_DENIED;
            const QByteArray valueName(name ? name : "");
            if (Value* v = k->value(valueName))
                *v = Value{v->name, type, bytes};
            else
                k->values.push_back(Value{valueName, type, bytes});
            return ERROR_SUCCESS;
        });
    }

    LONG deleteTree(HKEY key, const char* subKey) override
    {
        const std::optional<Place> place = resolve(key, subKey);
        if (!place)
            return ERROR_INVALID_HANDLE;
        if (place->path.isEmpty())
            return ERROR_ACCESS_DENIED; // a hive's root stays
        return modify(place->hive, [&](Hive& hive) -> LONG {
            const QByteArray prefix = place->path + '\\';
            auto inTree = [&](const Key& k) {
                return sameName(k.path, place->path) ||
                       k.path.left(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
            };
            const auto count = std::count_if(hive.keys.begin(), hive.keys.end(), inTree);
            if (count == 0)
                return ERROR_FILE_NOT_FOUND;
            const Key* parent = hive.key(place->path.left(std::max<qsizetype>(place->path.lastIndexOf('\\'), 0)));
            if ((parent && parent->readOnly) ||
                std::any_of(hive.keys.begin(), hive.keys.end(), [&](const Key& k) { return inTree(k) && k.readOnly; }))
                return ERROR_ACCESS_DENIED;
            hive.keys.erase(std::remove_if(hive.keys.begin(), hive.keys.end(), inTree), hive.keys.end());
            return ERROR_SUCCESS;
        });
    }

    LONG closeKey(HKEY key) override
    {
        if (isPredefined(key))
            return ERROR_SUCCESS;
        return open_.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
    }

    LONG setKeyReadOnly(HKEY key, const char* subKey, bool readOnly) override
    {
        const std::optional<Place> place = resolve(key, subKey);
        if (!place)
            return ERROR_INVALID_HANDLE;
        return modify(place->hive, [&](Hive& hive) -> LONG {
            Key* k = hive.key(place->path);
            if (!k)
                return ERROR_FILE_NOT_FOUND;
            k->readOnly = readOnly;
            return ERROR_SUCCESS;
        });
    }

    void beginBatch() override { ++batch_.depth; }

    LONG endBatch() override
    {
        if (batch_.depth == 0 || --batch_.depth > 0)
            return ERROR_SUCCESS;
        LONG result = ERROR_SUCCESS;
        for (auto& [root, locked] : batch_.hives)
            if (locked.dirty && !locked.hive.save())
                result = ERROR_CANTWRITE;
        batch_.hives.clear();
        return result;
    }

private:
    struct OpenKey {
        Place place;
        REGSAM access;
    };

    static bool isPredefined(HKEY key)
    {
        return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
    }

    // The place of subKey below key (a root of a hive or an open key); what
    // is written through the classes' view goes to the user's classes.
    std::optional<Place> resolve(HKEY key, const char* subKey) const
    {
        if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE)
            return Place{key, joined({}, subKey)};
        if (key == HKEY_CLASSES_ROOT)
            return Place{HKEY_CURRENT_USER, joined(kClasses, subKey)};
        const auto it = open_.find(key);
        if (it == open_.end())
            return std::nullopt;
        return Place{it->second.place.hive, joined(it->second.place.path, subKey)};
    }

    REGSAM accessOf(HKEY key) const
    {
        const auto it = open_.find(key);
        return it == open_.end() ? KEY_ALL_ACCESS : it->second.access;
    }

    HKEY remember(const Place& place, REGSAM access)
    {
        const HKEY handle = next_++;
        open_[handle] = OpenKey{place, access};
        return handle;
    }

    // A hive read under its lock file, held for as long as this lives.
    struct Locked {
        std::unique_ptr<QLockFile> lock;
        Hive hive;
        bool dirty = false;
    };

    static LONG lockHive(HKEY root, Locked& out)
    {
        const QString file = hivePath(root);
        if (!mayWrite(file))
            return ERROR_ACCESS_DENIED;
        if (!QDir().mkpath(QFileInfo(file).absolutePath()))
            return ERROR_CANTWRITE;
        out.lock = std::make_unique<QLockFile>(file + QLatin1String(".lock"));
        if (!out.lock->tryLock(5000)) {
            qCInfo(lcRegistry) << "hive" << file << "stayed locked by another process";
            return ERROR_CANTWRITE;
        }
        out.hive = Hive::load(file);
        return ERROR_SUCCESS;
    }

    // The hive as it stands, with the changes of a running batch.
    Hive snapshot(HKEY root) const
    {
        const auto it = batch_.hives.find(root);
        return it != batch_.hives.end() ? it->second.hive : Hive::load(hivePath(root));
    }

    // Reads, changes and writes one hive under its lock; a change that
    // returns anything but ERROR_SUCCESS writes nothing. In a batch the hive
    // stays locked and in memory until the batch ends.
    template <class Change>
    LONG modify(HKEY root, Change&& change)
    {
        Locked single;
        Locked* locked = &single;
        if (batch_.depth > 0) {
            const auto it = batch_.hives.find(root);
            if (it != batch_.hives.end())
                locked = &it->second;
        }
        if (!locked->lock) {
            if (const LONG rc = lockHive(root, *locked); rc != ERROR_SUCCESS)
                return rc;
            if (batch_.depth > 0)
                locked = &batch_.hives.emplace(root, std::move(single)).first->second;
        }
        if (!locked->hive.readable)
            return ERROR_BADDB;
        Hive changed = locked->hive;
        if (const LONG rc = change(changed); rc != ERROR_SUCCESS)
            return rc;
        locked->hive = std::move(changed);
        locked->dirty = true;
        if (batch_.depth > 0)
            return ERROR_SUCCESS;
        return locked->hive.save() ? ERROR_SUCCESS : ERROR_CANTWRITE;
    }

    struct {
        int depth = 0;
        std::map<HKEY, Locked> hives;
    } batch_;
    std::map<HKEY, OpenKey> open_;
    HKEY next_ = 1;
};

} // namespace

Seam<Registry>& seam()
{
    static RealRegistry real;
    static Seam<Registry> theSeam(real);
    return theSeam;
}

QString hivePath(HKEY root)
{
    const QString dir = qEnvironmentVariable("NUMORA_REGISTRY_DIR");
    const bool machine = root == HKEY_LOCAL_MACHINE;
    if (!dir.isEmpty())
        return dir + (machine ? QLatin1String("/machine.json") : QLatin1String("/user.json"));
    if (machine)
        return QLatin1String(kMachineFolder) + QLatin1String("/machine.json");
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QLatin1String("/.config");
    return config + QLatin1String("/Numora/registry/user.json");
}

LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD, REGSAM samDesired, HKEY* phkResult)
{
    return seam()->openKey(hKey, lpSubKey, samDesired, phkResult);
}

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD, char*, DWORD, REGSAM samDesired, void*, HKEY* phkResult,
                     DWORD* lpdwDisposition)
{
    return seam()->createKey(hKey, lpSubKey, samDesired, phkResult, lpdwDisposition);
}

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD*, DWORD* lpType, BYTE* lpData, DWORD* lpcbData)
{
    return seam()->queryValue(hKey, lpValueName, lpType, lpData, lpcbData);
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData)
{
    return seam()->setValue(hKey, lpValueName, dwType, lpData, cbData);
}

LONG RegDeleteTreeA(HKEY hKey, const char* lpSubKey) { return seam()->deleteTree(hKey, lpSubKey); }

LONG RegCloseKey(HKEY hKey) { return seam()->closeKey(hKey); }

std::optional<std::string> readText(HKEY root, const std::string& subKey, const std::string& name)
{
    HKEY key = 0;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::optional<std::string> text;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS && isText(type)) {
        std::string buffer(size, '\0');
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) ==
            ERROR_SUCCESS) {
            buffer.resize(std::min<std::size_t>(size, std::strlen(buffer.c_str())));
            text = std::move(buffer);
        }
    }
    RegCloseKey(key);
    return text;
}

LONG writeText(HKEY root, const std::string& subKey, const std::string& name, const std::string& text)
{
    HKEY key = 0;
    LONG rc = RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    return rc;
}

} // namespace numora::registry
