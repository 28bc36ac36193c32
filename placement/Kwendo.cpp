// The library's entry points: its class factories, its self-registration
// (per user, or for the whole machine through DllInstall), and its version
// record with the self-registration mark.
#include "placement/Kwendo.h"

#include "placement/PropertyPages.h"
#include "placement/Ravelle.h"
#include "platform/com/ClassRegistry.h"

#include <QFile>

#include <dlfcn.h>

#include <atomic>
#include <climits>
#include <cstdlib>

extern "C" {
const NUMORA_VERSIONINFO DllVersionInfo = {sizeof(NUMORA_VERSIONINFO),
                                           KWENDO_VERSION_MAJOR,
                                           KWENDO_VERSION_MINOR,
                                           0,
                                           KWENDO_VERSION_REVISION,
                                           NUMORA_VERSION_SELFREGISTER,
                                           "Kwendo placement control library"};
}

namespace numora::placement {
namespace {

std::atomic<long> g_locks{0};

using Creator = HRESULT (*)(const IID*, void**);

class ClassFactory final : public com::ComObject<IClassFactory> {
public:
    explicit ClassFactory(Creator create) : create_(create) {}

    HRESULT CreateInstance(IUnknown* outer, const IID* riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return com::guarded([&] { return create_(riid, ppv); });
    }

    HRESULT LockServer(BOOL lock) override
    {
        g_locks += lock ? 1 : -1;
        return S_OK;
    }

private:
    Creator create_;
};

HRESULT createRavelle(const IID* riid, void** ppv) { return com::createObject<Ravelle>(riid, ppv); }

// This library's own file, as the registration names it.
QString libraryFile()
{
    Dl_info info{};
    if (!::dladdr(&DllVersionInfo, &info) || !info.dli_fname)
        return {};
    char resolved[PATH_MAX];
    return QFile::decodeName(::realpath(info.dli_fname, resolved) ? resolved : info.dli_fname);
}

com::ServerEntry server()
{
    com::ServerEntry s;
    s.path = libraryFile();
    s.libid = LIBID_Kwendo;
    s.libraryName = QStringLiteral(KWENDO_LIBRARY_NAME);
    s.major = KWENDO_VERSION_MAJOR;
    s.minor = KWENDO_VERSION_MINOR;
    s.lcid = KWENDO_LCID;
    s.controlLibrary = true;
    s.classes = {{CLSID_Ravelle, QStringLiteral("Ravelle"), QStringLiteral(KWENDO_PROGID_RAVELLE), true},
                 {CLSID_prpSetting, QStringLiteral("prpSetting"), {}, false},
                 {CLSID_prpAbout, QStringLiteral("prpAbout"), {}, false}};
    s.interfaces = {{IID__Ravelle, QStringLiteral("_Ravelle")},
                    {DIID___Ravelle, QStringLiteral("__Ravelle")},
                    {IID__prpSetting, QStringLiteral("_prpSetting")},
                    {IID__prpAbout, QStringLiteral("_prpAbout")}};
    return s;
}

HRESULT registration(bool install, registry::HKEY root)
{
    return com::guarded([&] {
        const com::ServerEntry s = server();
        if (s.path.isEmpty())
            return SELFREG_E_CLASS;
        return install ? com::registerServer(root, s) : com::unregisterServer(root, s);
    });
}

} // namespace
} // namespace numora::placement

using namespace numora::placement;

extern "C" HRESULT DllRegisterServer(void) { return registration(true, numora::registry::HKEY_CURRENT_USER); }

extern "C" HRESULT DllUnregisterServer(void) { return registration(false, numora::registry::HKEY_CURRENT_USER); }

extern "C" HRESULT DllInstall(BOOL bInstall, LPCOLESTR pszCmdLine)
{
    const QString scope = numora::com::fromOle(pszCmdLine).trimmed().toLower();
    if (scope.isEmpty() || scope == QLatin1String("user"))
        return registration(bInstall, numora::registry::HKEY_CURRENT_USER);
    if (scope == QLatin1String("machine"))
        return registration(bInstall, numora::registry::HKEY_LOCAL_MACHINE);
    return E_INVALIDARG;
}

extern "C" HRESULT DllGetClassObject(const CLSID* rclsid, const IID* riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!rclsid || !riid)
        return E_INVALIDARG;
    Creator create = nullptr;
    if (IsEqualGUID(rclsid, &CLSID_Ravelle))
        create = createRavelle;
    else if (IsEqualGUID(rclsid, &CLSID_prpSetting))
        create = createPrpSetting;
    else if (IsEqualGUID(rclsid, &CLSID_prpAbout))
        create = createPrpAbout;
    else
        return CLASS_E_CLASSNOTAVAILABLE;
    return numora::com::guarded([&] { return numora::com::createObject<ClassFactory>(riid, ppv, create); });
}

extern "C" HRESULT DllCanUnloadNow(void) { return numora::com::liveObjects() == 0 && g_locks == 0 ? S_OK : S_FALSE; }
