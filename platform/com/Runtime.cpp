// The runtime's own part: the standard identifiers, the tagged value's
// conversions, and the C++ helpers of ComSupport.h.
#include "platform/com/ComSupport.h"

#include <QLocale>
#include <QUuid>

#include <atomic>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

extern "C" {
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IObjectWithSite = {0xFC4801A3, 0x2BA9, 0x11CF, {0xA2, 0x29, 0x00, 0xAA, 0x00, 0x3D, 0x73, 0x52}};
const IID IID_ISpecifyPropertyPages = {0xB196B28B, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IPropertyPageSite = {0xB196B28C, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IPropertyPage = {0xB196B28D, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
}

namespace numora::com {
namespace {

const IID kNoInterface{};

// The value v stands for, a reference followed; false for a null reference
// or a kind of value the runtime does not know. The result owns nothing.
bool dereferenced(const VARIANT& v, VARIANT& out)
{
    if (!(v.vt & VT_BYREF)) {
        out = v;
        return true;
    }
    if (!v.byref)
        return false;
    VariantInit(&out);
    out.vt = static_cast<VARTYPE>(v.vt & ~VT_BYREF);
    switch (out.vt) {
    case VT_VARIANT: return dereferenced(*v.pvarVal, out);
    case VT_I2: out.iVal = *v.piVal; return true;
    case VT_I4: out.lVal = *v.plVal; return true;
    case VT_UI1: out.bVal = *v.pbVal; return true;
    case VT_R4: out.fltVal = *v.pfltVal; return true;
    case VT_R8: out.dblVal = *v.pdblVal; return true;
    case VT_BOOL: out.boolVal = *v.pboolVal; return true;
    case VT_BSTR: out.bstrVal = *v.pbstrVal; return true;
    case VT_DISPATCH:
    case VT_UNKNOWN: out.punkVal = *static_cast<IUnknown**>(v.byref); return true;
    default: return false;
    }
}

// The number a value holds; texts are read in the user's locale.
HRESULT numberOf(const VARIANT& v, double& out)
{
    switch (v.vt) {
    case VT_EMPTY: out = 0; return S_OK;
    case VT_I2: out = v.iVal; return S_OK;
    case VT_I4: out = v.lVal; return S_OK;
    case VT_UI1: out = v.bVal; return S_OK;
    case VT_R4: out = v.fltVal; return S_OK;
    case VT_R8: out = v.dblVal; return S_OK;
    case VT_BOOL: out = v.boolVal ? -1 : 0; return S_OK;
    case VT_BSTR: {
        bool ok = false;
        out = QLocale().toDouble(fromBstr(v.bstrVal).trimmed(), &ok);
        return ok && std::isfinite(out) ? S_OK : DISP_E_TYPEMISMATCH;
    }
    default: return DISP_E_TYPEMISMATCH;
    }
}

// A whole number: to the nearest, ties to the even neighbour.
HRESULT whole(double d, double lowest, double highest, double& out)
{
    out = std::nearbyint(d);
    return out < lowest || out > highest ? DISP_E_OVERFLOW : S_OK;
}

HRESULT textOf(const VARIANT& v, QString& out)
{
    switch (v.vt) {
    case VT_EMPTY: out.clear(); return S_OK;
    case VT_BSTR: out = fromBstr(v.bstrVal); return S_OK;
    case VT_BOOL: out = v.boolVal ? QStringLiteral("True") : QStringLiteral("False"); return S_OK;
    case VT_R4: out = numberText(v.fltVal, true); return S_OK;
    default: {
        double d = 0;
        const HRESULT hr = numberOf(v, d);
        if (SUCCEEDED(hr))
            out = numberText(d);
        return hr;
    }
    }
}

std::atomic<long> g_liveObjects{0};

} // namespace

// ---- texts --------------------------------------------------------------------------

LPOLESTR toTaskString(const QString& s)
{
    const auto bytes = static_cast<size_t>(s.size() + 1) * sizeof(OLECHAR);
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (out)
        std::memcpy(out, s.utf16(), bytes);
    return out;
}

QString numberText(double value, bool single)
{
    if (value == 0)
        value = 0; // no "-0"
    char buffer[64];
    const double size = std::fabs(value);
    const auto format =
        size != 0 && (size >= 1e15 || size < 1e-5) ? std::chars_format::scientific : std::chars_format::fixed;
    const std::to_chars_result r =
        single ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value), format)
               : std::to_chars(buffer, buffer + sizeof buffer, value, format);
    QString text = QString::fromLatin1(buffer, r.ptr - buffer).toUpper();
    const QLocale locale;
    text.replace(QLatin1Char('.'), locale.decimalPoint());
    if (text.startsWith(QLatin1Char('-')))
        text.replace(0, 1, locale.negativeSign());
    return text;
}

QString guidText(const GUID& g)
{
    const QUuid u(g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
                  g.Data4[6], g.Data4[7]);
    return u.toString(QUuid::WithBraces).toUpper();
}

std::optional<GUID> guidFromText(const QString& text)
{
    const QUuid u = QUuid::fromString(text);
    if (u.isNull() && text.count(QLatin1Char('0')) != 32)
        return std::nullopt;
    GUID g{u.data1, u.data2, u.data3, {}};
    std::memcpy(g.Data4, u.data4, sizeof g.Data4);
    return g;
}

// ---- errors ---------------------------------------------------------------------------

ComError::ComError(HRESULT c, QString d) : code(c), description(d.isEmpty() ? describe(c) : std::move(d)) {}

long ComError::number() const
{
    const auto u = static_cast<uint32_t>(code);
    if ((u & 0xFFFF0000u) == 0x800A0000u)
        return static_cast<long>(u & 0xFFFFu);
    if (code == DISP_E_TYPEMISMATCH)
        return 13;
    if (code == DISP_E_OVERFLOW)
        return 6;
    return code;
}

QString describe(HRESULT code)
{
    switch (code) {
    case CTL_E_TYPEMISMATCH:
    case DISP_E_TYPEMISMATCH: return QStringLiteral("Type mismatch");
    case CTL_E_OVERFLOW:
    case DISP_E_OVERFLOW: return QStringLiteral("Overflow");
    case CTL_E_INVALIDPROPERTYVALUE: return QStringLiteral("Invalid property value");
    case CTL_E_OBJECTNOTSET: return QStringLiteral("Object variable or With block variable not set");
    case DISP_E_MEMBERNOTFOUND: return QStringLiteral("Member not found.");
    case DISP_E_UNKNOWNNAME: return QStringLiteral("Unknown name.");
    case DISP_E_BADPARAMCOUNT: return QStringLiteral("Invalid number of parameters.");
    case DISP_E_NONAMEDARGS: return QStringLiteral("Does not support named arguments.");
    case E_NOINTERFACE: return QStringLiteral("No such interface supported");
    case REGDB_E_CLASSNOTREG: return QStringLiteral("Class not registered");
    case CO_E_CLASSSTRING: return QStringLiteral("Invalid class string");
    case CO_E_DLLNOTFOUND: return QStringLiteral("The library of the class could not be loaded");
    case CO_E_ERRORINDLL: return QStringLiteral("The library of the class is not a control library");
    default: return QStringLiteral("Automation error 0x%1").arg(static_cast<uint32_t>(code), 8, 16, QLatin1Char('0'));
    }
}

// ---- the tagged value -------------------------------------------------------------------

Variant::Variant(const Variant& other)
{
    VariantInit(&v_);
    VariantCopy(&v_, &other.v_);
}

Variant::Variant(Variant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }

Variant& Variant::operator=(const Variant& other)
{
    VariantCopy(&v_, &other.v_);
    return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept
{
    if (this != &other) {
        VariantClear(&v_);
        v_ = other.v_;
        VariantInit(&other.v_);
    }
    return *this;
}

Variant Variant::text(const QString& s) { return of(VT_BSTR, &VARIANT::bstrVal, toBstr(s)); }
Variant Variant::i2(SHORT n) { return of(VT_I2, &VARIANT::iVal, n); }
Variant Variant::i4(LONG n) { return of(VT_I4, &VARIANT::lVal, n); }
Variant Variant::ui1(BYTE n) { return of(VT_UI1, &VARIANT::bVal, n); }
Variant Variant::r4(FLOAT n) { return of(VT_R4, &VARIANT::fltVal, n); }
Variant Variant::r8(DOUBLE n) { return of(VT_R8, &VARIANT::dblVal, n); }

Variant Variant::dispatch(IDispatch* d)
{
    if (d)
        d->AddRef();
    return of(VT_DISPATCH, &VARIANT::pdispVal, d);
}

Variant Variant::copyOf(const VARIANT& v)
{
    Variant r;
    VARIANT plain;
    if (dereferenced(v, plain))
        VariantCopy(&r.v_, &plain);
    return r;
}

VARIANT Variant::detach()
{
    const VARIANT out = v_;
    VariantInit(&v_);
    return out;
}

Variant Variant::changedTo(VARTYPE vt) const
{
    Variant r;
    const HRESULT hr = VariantChangeType(&r.v_, &v_, 0, vt);
    if (FAILED(hr))
        throw ComError(hr);
    return r;
}

QString Variant::toText() const { return fromBstr(changedTo(VT_BSTR).v_.bstrVal); }
LONG Variant::toI4() const { return changedTo(VT_I4).v_.lVal; }
BYTE Variant::toUI1() const { return changedTo(VT_UI1).v_.bVal; }
SHORT Variant::toI2() const { return changedTo(VT_I2).v_.iVal; }
FLOAT Variant::toR4() const { return changedTo(VT_R4).v_.fltVal; }

// ---- objects -------------------------------------------------------------------------------

long liveObjects() { return g_liveObjects.load(); }
void countObject(int delta) { g_liveObjects += delta; }

// ---- dispatch -------------------------------------------------------------------------------

HRESULT idsOfNames(std::initializer_list<DispatchMember> members, LPOLESTR* names, UINT count, DISPID* ids)
{
    if (!names || !ids)
        return E_POINTER;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    if (count == 0)
        return S_OK;
    const QString wanted = fromOle(names[0]);
    for (const DispatchMember& m : members) {
        if (wanted.compare(QLatin1String(m.name), Qt::CaseInsensitive) == 0) {
            ids[0] = m.id;
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME; // no argument names are known
        }
    }
    return DISP_E_UNKNOWNNAME;
}

const VARIANT& argument(const DISPPARAMS* params, UINT i) { return params->rgvarg[params->cArgs - 1 - i]; }

UINT argumentCount(const DISPPARAMS* params) { return params ? params->cArgs : 0; }

HRESULT raise(EXCEPINFO* info, const ComError& error, const QString& source)
{
    if (info) {
        std::memset(info, 0, sizeof *info);
        info->scode = error.code;
        info->bstrSource = toBstr(source);
        info->bstrDescription = toBstr(error.description);
    }
    return DISP_E_EXCEPTION;
}

Variant invoke(IDispatch* target, DISPID id, WORD flags, const std::vector<Variant>& args)
{
    if (!target)
        throw ComError(CTL_E_OBJECTNOTSET);
    const auto n = static_cast<UINT>(args.size());
    std::vector<VARIANT> reversed(args.size());
    for (UINT i = 0; i < n; ++i)
        reversed[n - 1 - i] = args[i].raw(); // lent for the call, still owned by args
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, n, 0};
    const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
    if (put) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    Variant result;
    EXCEPINFO info{};
    UINT argError = 0;
    const HRESULT hr = target->Invoke(id, &kNoInterface, LOCALE_USER_DEFAULT, flags, &params,
                                      put ? nullptr : result.put(), &info, &argError);
    const QString description = fromBstr(info.bstrDescription);
    const SCODE scode = info.scode;
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    if (hr == DISP_E_EXCEPTION)
        throw ComError(scode ? scode : E_FAIL, description);
    if (FAILED(hr))
        throw ComError(hr);
    return result;
}

DISPID dispIdOf(IDispatch* target, const QString& name)
{
    if (!target)
        throw ComError(CTL_E_OBJECTNOTSET);
    QString copy = name;
    LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(copy.data())};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = target->GetIDsOfNames(&kNoInterface, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        throw ComError(hr);
    return id;
}

Variant getProperty(IDispatch* target, const QString& name)
{
    return invoke(target, dispIdOf(target, name), DISPATCH_PROPERTYGET);
}

void putProperty(IDispatch* target, const QString& name, const Variant& value)
{
    invoke(target, dispIdOf(target, name), DISPATCH_PROPERTYPUT, {value});
}

} // namespace numora::com

// ---- the C entry points of the tagged value -----------------------------------------------

using namespace numora::com;

extern "C" HRESULT VariantClear(VARIANT* v)
{
    if (!v)
        return E_POINTER;
    switch (v->vt) {
    case VT_BSTR: SysFreeString(v->bstrVal); break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
        if (v->punkVal)
            v->punkVal->Release();
        break;
    default: break;
    }
    VariantInit(v);
    return S_OK;
}

extern "C" HRESULT VariantCopy(VARIANT* dest, const VARIANT* src)
{
    if (!dest || !src)
        return E_POINTER;
    if (dest == src)
        return S_OK;
    VARIANT copy = *src;
    if (copy.vt == VT_BSTR && copy.bstrVal)
        copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
    else if ((copy.vt == VT_DISPATCH || copy.vt == VT_UNKNOWN) && copy.punkVal)
        copy.punkVal->AddRef();
    VariantClear(dest);
    *dest = copy;
    return S_OK;
}

extern "C" HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, WORD, VARTYPE vt)
{
    if (!dest || !src)
        return E_POINTER;
    VARIANT from;
    if (!dereferenced(*src, from))
        return DISP_E_BADVARTYPE;
    VARIANT out;
    VariantInit(&out);
    out.vt = vt;
    HRESULT hr = S_OK;
    double d = 0;
    double w = 0;
    switch (vt) {
    case VT_EMPTY: break;
    case VT_BSTR: {
        QString text;
        hr = textOf(from, text);
        if (SUCCEEDED(hr))
            out.bstrVal = toBstr(text);
        break;
    }
    case VT_I2:
        if (SUCCEEDED(hr = numberOf(from, d)) && SUCCEEDED(hr = whole(d, -32768.0, 32767.0, w)))
            out.iVal = static_cast<SHORT>(w);
        break;
    case VT_I4:
        if (SUCCEEDED(hr = numberOf(from, d)) && SUCCEEDED(hr = whole(d, -2147483648.0, 2147483647.0, w)))
            out.lVal = static_cast<LONG>(w);
        break;
    case VT_UI1:
        if (SUCCEEDED(hr = numberOf(from, d)) && SUCCEEDED(hr = whole(d, 0.0, 255.0, w)))
            out.bVal = static_cast<BYTE>(w);
        break;
    case VT_R4:
        if (SUCCEEDED(hr = numberOf(from, d))) {
            if (std::fabs(d) > FLT_MAX)
                hr = DISP_E_OVERFLOW;
            else
                out.fltVal = static_cast<FLOAT>(d);
        }
        break;
    case VT_R8:
        if (SUCCEEDED(hr = numberOf(from, d)))
            out.dblVal = d;
        break;
    case VT_BOOL:
        if (SUCCEEDED(hr = numberOf(from, d)))
            out.boolVal = d != 0 ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    default: hr = DISP_E_BADVARTYPE; break;
    }
    if (FAILED(hr))
        return hr;
    VariantClear(dest); // src may be dest; its value is no longer needed
    *dest = out;
    return S_OK;
}
