#pragma once
// The registry: keys holding named values under a few predefined roots,
// behind a seam. The real backing keeps each root in a small hive file:
//
//   HKEY_CURRENT_USER   $XDG_CONFIG_HOME/Numora/registry/user.json
//                       (~/.config when XDG_CONFIG_HOME is not set)
//   HKEY_LOCAL_MACHINE  /var/lib/numora/registry/machine.json
//   HKEY_CLASSES_ROOT   a view: Software\Classes of the user's hive over
//                       Software\Classes of the machine's; writes through it
//                       go to the user's hive (per-user classes)
//
// When NUMORA_REGISTRY_DIR is set, both hives are user.json and machine.json
// in that folder instead.
//
// A key opens with any write right (0x2003F, all access, included) only where
// the process may write the key's hive and the hive does not mark the key
// read-only; otherwise the open fails with ERROR_ACCESS_DENIED. A hive file
// that cannot be read as a hive reads as having no keys and refuses writes
// (ERROR_BADDB), so it is never overwritten. Writes replace the hive file
// atomically under a lock file, so two processes never lose each other's keys.
//
// Key names compare without regard to ASCII case; "\" separates them. Texts
// pass through as bytes (UTF-8 in the hive file).

#include "platform/core/Seam.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

namespace numora::registry {

using HKEY = std::uint32_t;
using LONG = std::int32_t;
using DWORD = std::uint32_t;
using REGSAM = std::uint32_t;
using BYTE = unsigned char;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_BADDB = 1009;
inline constexpr LONG ERROR_CANTWRITE = 1013;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
// The rights that change a key: values, subkeys, links, deletion, security.
inline constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | 0x10000 | 0x40000 | 0x80000;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

class Registry {
public:
    virtual ~Registry() = default;
    virtual LONG openKey(HKEY key, const char* subKey, REGSAM access, HKEY* result) = 0;
    // Opens the key, creating it and any missing keys above it; a read-only
    // key gets no new keys below it.
    virtual LONG createKey(HKEY key, const char* subKey, REGSAM access, HKEY* result, DWORD* disposition) = 0;
    // With data null only the size is reported; a buffer too small gets
    // ERROR_MORE_DATA and the size needed. Texts count their NUL.
    virtual LONG queryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) = 0;
    virtual LONG setValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) = 0;
    // Removes the key and everything below it; nothing when a key of the
    // tree or the key above it is read-only.
    virtual LONG deleteTree(HKEY key, const char* subKey) = 0;
    virtual LONG closeKey(HKEY key) = 0;
    // The hive's read-only mark on a key (which must exist), as an
    // administrator sets it; needs the hive to be writable.
    virtual LONG setKeyReadOnly(HKEY key, const char* subKey, bool readOnly) = 0;
    // Between these, changes collect in memory (each hive locked from its
    // first change) and reach the hive files together at the end.
    virtual void beginBatch() {}
    virtual LONG endBatch() { return ERROR_SUCCESS; }
};

Seam<Registry>& seam();

// Many changes written to each hive once, when commit() is called; a batch
// that goes without commit() is written all the same.
class Batch {
public:
    Batch() { seam()->beginBatch(); }
    ~Batch()
    {
        if (!done_)
            seam()->endBatch();
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;
    LONG commit()
    {
        done_ = true;
        return seam()->endBatch();
    }

private:
    bool done_ = false;
};

// The classic calls, through the seam. Reserved arguments are ignored.
LONG RegOpenKeyExA(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired, HKEY* phkResult);
LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD Reserved, char* lpClass, DWORD dwOptions, REGSAM samDesired,
                     void* lpSecurityAttributes, HKEY* phkResult, DWORD* lpdwDisposition);
LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData);
LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData, DWORD cbData);
LONG RegDeleteTreeA(HKEY hKey, const char* lpSubKey);
LONG RegCloseKey(HKEY hKey);

// A text value (REG_SZ or REG_EXPAND_SZ) of a key, or nothing when the key or
// value is missing or holds no text. name empty: the key's default value.
std::optional<std::string> readText(HKEY root, const std::string& subKey, const std::string& name = {});
// Creates the key as needed and sets a REG_SZ value.
LONG writeText(HKEY root, const std::string& subKey, const std::string& name, const std::string& text);

// The hive file of HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE.
QString hivePath(HKEY root);

} // namespace numora::registry
