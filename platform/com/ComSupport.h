#pragma once
// C++ helpers over the component runtime of Com.h: reference-counted
// pointers, an owning tagged value, objects that count their references and
// answer QueryInterface from their list of interfaces, identifier texts,
// errors, and calls by dispatch id.

#include "platform/com/Com.h"

#include <QString>

#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

namespace numora::com {

// ---- pointers ------------------------------------------------------------------

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    // Takes a reference of its own.
    ComPtr(T* p) : p_(p) // NOLINT: converting on purpose
    {
        if (p_)
            p_->AddRef();
    }
    // Takes over the caller's reference.
    static ComPtr adopt(T* p)
    {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    void reset()
    {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }
    // For an out argument that receives a reference.
    T** put()
    {
        reset();
        return &p_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    T* detach() { return std::exchange(p_, nullptr); }

    // Another interface of the same object, or empty.
    template <class U>
    ComPtr<U> as(const IID& iid) const
    {
        ComPtr<U> r;
        if (p_)
            p_->QueryInterface(&iid, r.putVoid());
        return r;
    }

private:
    T* p_ = nullptr;
};

// ---- texts -------------------------------------------------------------------------

inline QString fromOle(const OLECHAR* s) { return s ? QString::fromUtf16(s) : QString(); }
inline QString fromBstr(BSTR s) { return QString::fromUtf16(s, static_cast<qsizetype>(SysStringLen(s))); }
inline BSTR toBstr(const QString& s)
{
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.utf16()), static_cast<UINT>(s.size()));
}
// A text for the caller to free with CoTaskMemFree.
LPOLESTR toTaskString(const QString& s);

// A number as the user's locale writes it: a fraction only where there is
// one, no group separators. single: the shortest text that reads back as the
// same single-precision number.
QString numberText(double value, bool single = false);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and back.
QString guidText(const GUID& guid);
std::optional<GUID> guidFromText(const QString& text);

// ---- errors ------------------------------------------------------------------------

// A failure inside a call, carried to the call's boundary where it becomes
// the call's result (and, through IDispatch, its exception information).
struct ComError {
    HRESULT code;
    QString description;

    explicit ComError(HRESULT c, QString d = {});
    // The number the program's error handling shows: the low word of a
    // control error, the code itself otherwise.
    long number() const;
};

// The text for a result code ("Type mismatch", "Overflow", ...).
QString describe(HRESULT code);

// Runs body, turning a ComError (or anything else thrown) into a result.
template <class F>
HRESULT guarded(F&& body) noexcept
{
    try {
        return body();
    } catch (const ComError& e) {
        return e.code;
    } catch (...) {
        return E_FAIL;
    }
}

// ---- the tagged value ------------------------------------------------------------

class Variant {
public:
    Variant() { VariantInit(&v_); }
    Variant(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(const Variant& other);
    Variant& operator=(Variant&& other) noexcept;
    ~Variant() { VariantClear(&v_); }

    static Variant text(const QString& s);
    static Variant i2(SHORT n);
    static Variant i4(LONG n);
    static Variant ui1(BYTE n);
    static Variant r4(FLOAT n);
    static Variant r8(DOUBLE n);
    static Variant dispatch(IDispatch* d);
    // A copy of what v holds (a reference is followed).
    static Variant copyOf(const VARIANT& v);

    VARTYPE type() const { return v_.vt; }
    const VARIANT& raw() const { return v_; }
    VARIANT* put()
    {
        VariantClear(&v_);
        return &v_;
    }
    // Hands the value over, leaving this one empty.
    VARIANT detach();

    // Conversions by VariantChangeType; a failure throws ComError.
    Variant changedTo(VARTYPE vt) const;
    QString toText() const;
    LONG toI4() const;
    BYTE toUI1() const;
    SHORT toI2() const;
    FLOAT toR4() const;

private:
    template <class T>
    static Variant of(VARTYPE vt, T VARIANT::*field, T value)
    {
        Variant r;
        r.v_.vt = vt;
        r.v_.*field = value;
        return r;
    }

    VARIANT v_;
};

// ---- objects ------------------------------------------------------------------------

// Which identifiers an interface answers QueryInterface for (its own and
// those of the interfaces it derives from).
template <class I>
struct InterfaceTraits;

template <>
struct InterfaceTraits<IUnknown> {
    static bool answers(const IID& iid) { return IsEqualGUID(&iid, &IID_IUnknown); }
};
template <class I, const IID& Id, class Base = IUnknown>
struct DerivedInterfaceTraits {
    static bool answers(const IID& iid) { return IsEqualGUID(&iid, &Id) || InterfaceTraits<Base>::answers(iid); }
};
template <>
struct InterfaceTraits<IDispatch> : DerivedInterfaceTraits<IDispatch, IID_IDispatch> {
};
template <>
struct InterfaceTraits<IClassFactory> : DerivedInterfaceTraits<IClassFactory, IID_IClassFactory> {
};
template <>
struct InterfaceTraits<IObjectWithSite> : DerivedInterfaceTraits<IObjectWithSite, IID_IObjectWithSite> {
};
template <>
struct InterfaceTraits<ISpecifyPropertyPages>
    : DerivedInterfaceTraits<ISpecifyPropertyPages, IID_ISpecifyPropertyPages> {
};
template <>
struct InterfaceTraits<IPropertyPage> : DerivedInterfaceTraits<IPropertyPage, IID_IPropertyPage> {
};
template <>
struct InterfaceTraits<IPropertyPageSite> : DerivedInterfaceTraits<IPropertyPageSite, IID_IPropertyPageSite> {
};

// How many ComObjects of this module live.
long liveObjects();
void countObject(int delta);

// An object implementing Interfaces: it starts with one reference, which its
// creator owns, and deletes itself when the last one goes.
template <class... Interfaces>
class ComObject : public Interfaces... {
public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT QueryInterface(const IID* riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!riid)
            return E_INVALIDARG;
        const bool found =
            ((InterfaceTraits<Interfaces>::answers(*riid) && (*ppv = static_cast<Interfaces*>(this), true)) || ...);
        if (!found && !(*ppv = extraInterface(*riid)))
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    ComObject() { countObject(+1); }
    virtual ~ComObject() { countObject(-1); }
    // Interfaces answered beyond the list (a class's default interface, say).
    virtual void* extraInterface(const IID&) { return nullptr; }

private:
    ULONG refs_ = 1;
};

// An object whose IDispatch offers no type information.
template <class... Interfaces>
class DispatchObject : public ComObject<Interfaces...> {
public:
    HRESULT GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
};

// Creates an object and hands out the interface asked for (or fails, and the
// object goes again).
template <class T, class... Args>
HRESULT createObject(const IID* riid, void** ppv, Args&&... args)
{
    T* object = new T(std::forward<Args>(args)...);
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

// ---- dispatch --------------------------------------------------------------------

struct DispatchMember {
    const char* name;
    DISPID id;
};

// GetIDsOfNames over a table of members, names compared without regard to case.
HRESULT idsOfNames(std::initializer_list<DispatchMember> members, LPOLESTR* names, UINT count, DISPID* ids);

// Argument i (in call order) of a call.
const VARIANT& argument(const DISPPARAMS* params, UINT i);
UINT argumentCount(const DISPPARAMS* params);

// Fills the exception information of a failed Invoke and returns DISP_E_EXCEPTION.
HRESULT raise(EXCEPINFO* info, const ComError& error, const QString& source);

// Calls a member of target; args in call order. Throws ComError on failure,
// with the callee's own description when it gave one.
Variant invoke(IDispatch* target, DISPID id, WORD flags, const std::vector<Variant>& args = {});
DISPID dispIdOf(IDispatch* target, const QString& name);
Variant getProperty(IDispatch* target, const QString& name);
void putProperty(IDispatch* target, const QString& name, const Variant& value);

} // namespace numora::com
