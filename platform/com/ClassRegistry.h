#pragma once
// Class registration in the registry layer: what a control library writes
// when it registers itself, and how a host finds a class's library again.
//
// Under <root>\Software\Classes (root: HKEY_CURRENT_USER for the user,
// HKEY_LOCAL_MACHINE for the whole machine):
//   <ProgID>\CLSID                      = {class}
//   CLSID\{class}\InprocServer32        = the library file, ThreadingModel
//   CLSID\{class}\ProgID, \TypeLib, \Version, \Control (controls only)
//   TypeLib\{library}\<major.minor>     = library name, \FLAGS, \<locale, hex>\linux
//   Interface\{interface}               = name, \TypeLib
// A host reads them through HKEY_CLASSES_ROOT: the user's over the machine's.

#include "platform/com/Com.h"
#include "platform/registry/Registry.h"

#include <QString>

#include <optional>
#include <vector>

namespace numora::com {

struct ClassEntry {
    CLSID clsid;
    QString name;
    QString progId; // empty: none
    bool control = false;
};

struct InterfaceEntry {
    IID iid;
    QString name;
};

struct ServerEntry {
    QString path; // the library file, absolute
    GUID libid;
    QString libraryName;
    WORD major = 1;
    WORD minor = 0;
    LCID lcid = 0; // the type library's locale
    bool controlLibrary = false;
    std::vector<ClassEntry> classes;
    std::vector<InterfaceEntry> interfaces;
};

// SELFREG_E_CLASS when a key cannot be written (the hive is read-only, say).
HRESULT registerServer(registry::HKEY root, const ServerEntry& server);
// Keys already gone count as removed.
HRESULT unregisterServer(registry::HKEY root, const ServerEntry& server);

std::optional<CLSID> classOfProgId(const QString& progId);
// The library file registered for a class.
std::optional<QString> serverOfClass(const CLSID& clsid);

} // namespace numora::com
