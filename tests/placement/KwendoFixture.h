#pragma once
// A host's view of the control library for tests: the library file loaded
// and registered into the test's private registry through its own entry
// points, controls created by ProgID through the class factory and called by
// dispatch id, a container that records what the control does to it, and
// the stored placement read and written as the settings file holds it.

#include "placement/Kwendo.h"
#include "platform/com/ComSupport.h"
#include "tests/support/TestEnv.h"

#include <QLocale>
#include <QSettings>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <optional>
#include <ostream>
#include <vector>

// Texts in failure messages as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace numora::test {

// The library's exported entry points.
struct KwendoLibrary {
    void* handle = ::dlopen(NUMORA_KWENDO_LIBRARY, RTLD_NOW | RTLD_LOCAL);

    template <class Fn>
    Fn entry(const char* name) const
    {
        void* symbol = handle ? ::dlsym(handle, name) : nullptr;
        Fn fn = nullptr;
        std::memcpy(&fn, &symbol, sizeof fn);
        return fn;
    }
    HRESULT registerServer() const { return entry<LPFNREGISTERSERVER>(NUMORA_DLL_REGISTER)(); }
    HRESULT unregisterServer() const { return entry<LPFNUNREGISTERSERVER>(NUMORA_DLL_UNREGISTER)(); }
    HRESULT canUnloadNow() const { return entry<LPFNCANUNLOADNOW>(NUMORA_DLL_CANUNLOADNOW)(); }
    const NUMORA_VERSIONINFO* versionInfo() const
    {
        return handle ? static_cast<const NUMORA_VERSIONINFO*>(::dlsym(handle, NUMORA_DLL_VERSIONINFO)) : nullptr;
    }
};

// A container window that keeps its properties as given and records every
// put in order; a property named in `refuse` fails its puts.
class RecordingContainer final : public com::DispatchObject<IDispatch> {
public:
    RecordingContainer(short state, float left, float top, float width, float height)
    {
        values = {{"WindowState", com::Variant::i2(state)},
                  {"Left", com::Variant::r4(left)},
                  {"Top", com::Variant::r4(top)},
                  {"Width", com::Variant::r4(width)},
                  {"Height", com::Variant::r4(height)}};
    }

    std::map<QString, com::Variant> values;
    std::vector<std::pair<QString, com::Variant>> puts;
    QString refuse;

    // "Left=1234.5 Top=-60 ..." with each value's type: texts quoted.
    QString putLog() const
    {
        QStringList parts;
        for (const auto& [name, value] : puts)
            parts << name + QLatin1Char('=') +
                         (value.type() == VT_BSTR ? QLatin1Char('"') + value.toText() + QLatin1Char('"')
                                                  : value.toText());
        return parts.join(QLatin1Char(' '));
    }

    HRESULT GetIDsOfNames(const IID*, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return com::idsOfNames({{"WindowState", 1}, {"Left", 2}, {"Top", 3}, {"Width", 4}, {"Height", 5}}, names, count,
                               ids);
    }
    HRESULT Invoke(DISPID id, const IID*, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   UINT*) override
    {
        static const char* const names[] = {"", "WindowState", "Left", "Top", "Width", "Height"};
        if (id < 1 || id > 5)
            return DISP_E_MEMBERNOTFOUND;
        const QString name = QLatin1String(names[id]);
        if (flags & DISPATCH_PROPERTYPUT) {
            if (name == refuse)
                return DISP_E_TYPEMISMATCH;
            const com::Variant value = com::Variant::copyOf(com::argument(params, 0));
            puts.emplace_back(name, value);
            values[name] = value;
            return S_OK;
        }
        VariantCopy(result, &values[name].raw());
        return S_OK;
    }
};

class KwendoTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(library.handle, nullptr) << ::dlerror();
        ASSERT_EQ(library.registerServer(), S_OK);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

    // A new control of the registered class on container (none: no site).
    static com::ComPtr<IDispatch> createControl(IDispatch* container)
    {
        const QString progId = QStringLiteral(KWENDO_PROGID_RAVELLE);
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(progId.utf16()), &clsid), S_OK);
        com::ComPtr<IDispatch> control;
        EXPECT_EQ(CoCreateInstance(&clsid, nullptr, CLSCTX_INPROC_SERVER, &IID_IDispatch, control.putVoid()), S_OK);
        if (auto withSite = control.as<IObjectWithSite>(IID_IObjectWithSite); withSite && container)
            withSite->SetSite(container);
        return control;
    }

    // Calls a method by dispatch id, as the main window does; a failure
    // throws com::ComError.
    static com::Variant call(IDispatch* control, DISPID id, const std::vector<com::Variant>& args = {})
    {
        return com::invoke(control, id, DISPATCH_METHOD, args);
    }
    static void initReg(IDispatch* control, const QString& app, const QString& section)
    {
        call(control, DISPID_RAVELLE_INITREG, {com::Variant::text(app), com::Variant::text(section)});
    }

    // The stored placement: the settings file as another program would see it.
    QString settingsFile(const QString& app = QStringLiteral("Numora")) const
    {
        return env.root() + QStringLiteral("/config/") + app + QStringLiteral(".ini");
    }
    void store(const std::map<QString, QString>& keys, const QString& section = QStringLiteral("Setting")) const
    {
        QSettings s(settingsFile(), QSettings::IniFormat);
        for (const auto& [key, value] : keys)
            s.setValue(section + QLatin1Char('/') + key, value);
    }
    std::map<QString, QString> stored(const QString& section = QStringLiteral("Setting"),
                                      const QString& app = QStringLiteral("Numora")) const
    {
        QSettings s(settingsFile(app), QSettings::IniFormat);
        s.beginGroup(section);
        std::map<QString, QString> out;
        for (const QString& key : s.childKeys())
            out[key] = s.value(key).toString();
        return out;
    }

    TestEnv env;
    KwendoLibrary library;
};

} // namespace numora::test
