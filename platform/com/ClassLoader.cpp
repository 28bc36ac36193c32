// Creating objects of registered classes: the class's library is found
// through the class registration, loaded once and kept loaded for the life of
// the process (its objects and Qt's records of its types may outlive any
// moment at which unloading looks safe).
#include "platform/com/ClassRegistry.h"
#include "platform/com/ComSupport.h"

#include <QFile>
#include <QLoggingCategory>

#include <dlfcn.h>

#include <cstring>
#include <map>

namespace numora::com {
namespace {

Q_LOGGING_CATEGORY(lcCom, "numora.com", QtWarningMsg)

void* loadedLibrary(const QString& path)
{
    static std::map<QString, void*> loaded;
    const auto it = loaded.find(path);
    if (it != loaded.end())
        return it->second;
    void* handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        qCInfo(lcCom) << "control library" << path << "could not be loaded:" << ::dlerror();
        return nullptr;
    }
    loaded.emplace(path, handle);
    return handle;
}

} // namespace
} // namespace numora::com

using namespace numora::com;

extern "C" HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid)
{
    if (!lpszProgID || !lpclsid)
        return E_INVALIDARG;
    return guarded([&] {
        const std::optional<CLSID> clsid = classOfProgId(fromOle(lpszProgID));
        if (!clsid)
            return CO_E_CLASSSTRING;
        *lpclsid = *clsid;
        return S_OK;
    });
}

extern "C" HRESULT CoGetClassObject(const CLSID* rclsid, DWORD, void*, const IID* riid, void** ppv)
{
    if (!rclsid || !riid || !ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    return guarded([&] {
        const std::optional<QString> path = serverOfClass(*rclsid);
        if (!path)
            return REGDB_E_CLASSNOTREG;
        void* library = loadedLibrary(*path);
        if (!library)
            return CO_E_DLLNOTFOUND;
        void* symbol = ::dlsym(library, NUMORA_DLL_GETCLASSOBJECT);
        if (!symbol) {
            qCInfo(lcCom) << *path << "has no" << NUMORA_DLL_GETCLASSOBJECT;
            return CO_E_ERRORINDLL;
        }
        LPFNGETCLASSOBJECT getClassObject = nullptr;
        std::memcpy(&getClassObject, &symbol, sizeof symbol);
        return getClassObject(rclsid, riid, ppv);
    });
}

extern "C" HRESULT CoCreateInstance(const CLSID* rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, const IID* riid,
                                    void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, &IID_IClassFactory, factory.putVoid());
    if (FAILED(hr))
        return hr;
    return factory->CreateInstance(pUnkOuter, riid, ppv);
}
