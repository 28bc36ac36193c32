/*
 * The component runtime shared by the directory program and the control
 * libraries it loads: identifiers, result codes, the tagged value, the
 * interfaces both sides speak, and the entry points a control library
 * exports. Valid C (C11) and C++: a library written in either can be loaded.
 *
 * Interfaces keep the method order and meaning of their classic namesakes.
 * In C++ an interface is a struct of pure virtual methods; in C it is a
 * struct whose first member points at a table of functions taking the
 * interface as their first argument. Both lay out the same on this platform,
 * so a pointer passes between C and C++ unchanged. Identifiers are passed by
 * pointer in both languages.
 *
 * Texts are UTF-16 (OLECHAR). A BSTR points at the first character of a
 * NUL-terminated text preceded by its length in bytes; it is allocated with
 * SysAllocString and freed with SysFreeString by whichever side owns it.
 * Memory handed from callee to caller (page lists, page information) comes
 * from CoTaskMemAlloc and goes back through CoTaskMemFree.
 *
 * A window handle (HWND) is a QWidget* of the one Qt the process runs.
 */
#ifndef NUMORA_COM_H
#define NUMORA_COM_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- scalar types ------------------------------------------------------- */

typedef int32_t HRESULT;
typedef int32_t SCODE;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef int32_t BOOL;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int16_t SHORT;
typedef int64_t LONGLONG;
typedef float FLOAT;
typedef double DOUBLE;
typedef int16_t VARIANT_BOOL;
typedef uint16_t VARTYPE;
typedef int32_t DISPID;
typedef uint32_t LCID;
typedef char16_t OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef OLECHAR* BSTR;
typedef void* HWND;

#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)
#define LOCALE_USER_DEFAULT 0x0400u

/* ---- result codes -------------------------------------------------------- */

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define NUMORA_HR(x) ((HRESULT)(uint32_t)(x))

#define S_OK NUMORA_HR(0x00000000)
#define S_FALSE NUMORA_HR(0x00000001)
#define E_NOTIMPL NUMORA_HR(0x80004001)
#define E_NOINTERFACE NUMORA_HR(0x80004002)
#define E_POINTER NUMORA_HR(0x80004003)
#define E_FAIL NUMORA_HR(0x80004005)
#define E_UNEXPECTED NUMORA_HR(0x8000FFFF)
#define E_OUTOFMEMORY NUMORA_HR(0x8007000E)
#define E_INVALIDARG NUMORA_HR(0x80070057)
#define CLASS_E_NOAGGREGATION NUMORA_HR(0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE NUMORA_HR(0x80040111)
#define REGDB_E_CLASSNOTREG NUMORA_HR(0x80040154)
#define CO_E_CLASSSTRING NUMORA_HR(0x800401F3)
#define CO_E_DLLNOTFOUND NUMORA_HR(0x800401F8)
#define CO_E_ERRORINDLL NUMORA_HR(0x800401F9)
#define SELFREG_E_TYPELIB NUMORA_HR(0x80040200)
#define SELFREG_E_CLASS NUMORA_HR(0x80040201)
#define DISP_E_UNKNOWNINTERFACE NUMORA_HR(0x80020001)
#define DISP_E_MEMBERNOTFOUND NUMORA_HR(0x80020003)
#define DISP_E_PARAMNOTFOUND NUMORA_HR(0x80020004)
#define DISP_E_TYPEMISMATCH NUMORA_HR(0x80020005)
#define DISP_E_UNKNOWNNAME NUMORA_HR(0x80020006)
#define DISP_E_NONAMEDARGS NUMORA_HR(0x80020007)
#define DISP_E_BADVARTYPE NUMORA_HR(0x80020008)
#define DISP_E_EXCEPTION NUMORA_HR(0x80020009)
#define DISP_E_OVERFLOW NUMORA_HR(0x8002000A)
#define DISP_E_BADPARAMCOUNT NUMORA_HR(0x8002000E)
/* Errors a control raises, numbered as the program's run-time errors. */
#define CTL_E_OVERFLOW NUMORA_HR(0x800A0006)
#define CTL_E_TYPEMISMATCH NUMORA_HR(0x800A000D)
#define CTL_E_OBJECTNOTSET NUMORA_HR(0x800A005B)
#define CTL_E_INVALIDPROPERTYVALUE NUMORA_HR(0x800A017C)

/* ---- identifiers --------------------------------------------------------- */

typedef struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;

static inline BOOL IsEqualGUID(const GUID* a, const GUID* b) { return memcmp(a, b, sizeof(GUID)) == 0; }

/* The standard interfaces' identifiers (defined by the runtime). */
extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_IClassFactory;
extern const IID IID_IObjectWithSite;
extern const IID IID_ISpecifyPropertyPages;
extern const IID IID_IPropertyPageSite;
extern const IID IID_IPropertyPage;

/* ---- memory and texts ----------------------------------------------------- */

static inline void* CoTaskMemAlloc(size_t size) { return malloc(size ? size : 1); }
static inline void CoTaskMemFree(void* p) { free(p); }

static inline BSTR SysAllocStringLen(const OLECHAR* text, UINT length)
{
    uint32_t* block = (uint32_t*)malloc(sizeof(uint32_t) + ((size_t)length + 1) * sizeof(OLECHAR));
    BSTR s;
    if (!block)
        return NULL;
    block[0] = (uint32_t)(length * sizeof(OLECHAR));
    s = (BSTR)(block + 1);
    if (text)
        memcpy(s, text, (size_t)length * sizeof(OLECHAR));
    else
        memset(s, 0, (size_t)length * sizeof(OLECHAR));
    s[length] = 0;
    return s;
}

static inline BSTR SysAllocString(const OLECHAR* text)
{
    UINT n = 0;
    if (!text)
        return NULL;
    while (text[n])
        ++n;
    return SysAllocStringLen(text, n);
}

/* Characters, not bytes; 0 for a null BSTR, which stands for the empty text. */
static inline UINT SysStringLen(BSTR s) { return s ? ((const uint32_t*)s)[-1] / (UINT)sizeof(OLECHAR) : 0; }

static inline void SysFreeString(BSTR s)
{
    if (s)
        free(((uint32_t*)s) - 1);
}

/* ---- the tagged value ------------------------------------------------------ */

enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_UI1 = 17,
    VT_BYREF = 0x4000
};

typedef struct IUnknown IUnknown;
typedef struct IDispatch IDispatch;

typedef struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        FLOAT fltVal;
        DOUBLE dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        BYTE* pbVal;
        SHORT* piVal;
        LONG* plVal;
        FLOAT* pfltVal;
        DOUBLE* pdblVal;
        VARIANT_BOOL* pboolVal;
        BSTR* pbstrVal;
        struct VARIANT* pvarVal;
        void* byref;
    };
} VARIANT;
typedef VARIANT VARIANTARG;

static inline void VariantInit(VARIANT* v) { memset(v, 0, sizeof(VARIANT)); }

/* Frees what the value owns (texts, object references) and makes it empty. */
HRESULT VariantClear(VARIANT* v);
/* dest is cleared first; texts are copied and objects referenced again. */
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
/* Converts src (a reference is followed) to vt into dest, which may be src.
 * Texts and numbers convert by the user's number format; a number rounds to
 * a whole one to the nearest, ties to even. DISP_E_TYPEMISMATCH when src is
 * no number, DISP_E_OVERFLOW when the number does not fit. */
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, WORD flags, VARTYPE vt);

/* ---- interfaces ------------------------------------------------------------ */

/* The interfaces are laid out as their C declarations read. */
/* clang-format off */

typedef struct ITypeInfo ITypeInfo; /* type information is not offered */
typedef void MSG;                   /* accelerators are not translated */

#ifdef __cplusplus
#define NUMORA_INTERFACE(name, base) struct name : public base
#define NUMORA_ROOT_INTERFACE(name) struct name
#define NUMORA_METHOD(type, method) virtual type method
#define NUMORA_THIS_
#define NUMORA_THIS
#define NUMORA_PURE = 0
#else
#define NUMORA_INTERFACE(name, base)                                                                          \
    typedef struct name##Vtbl name##Vtbl;                                                                     \
    struct name {                                                                                             \
        const name##Vtbl* lpVtbl;                                                                             \
    };                                                                                                        \
    struct name##Vtbl
#define NUMORA_ROOT_INTERFACE(name) NUMORA_INTERFACE(name, )
#define NUMORA_METHOD(type, method) type (*method)
#define NUMORA_THIS_ NUMORA_IFACE* This,
#define NUMORA_THIS NUMORA_IFACE* This
#define NUMORA_PURE
#endif

/* Every interface starts with these three. */
#define NUMORA_IUNKNOWN_METHODS                                                                               \
    NUMORA_METHOD(HRESULT, QueryInterface)(NUMORA_THIS_ const IID* riid, void** ppv) NUMORA_PURE;            \
    NUMORA_METHOD(ULONG, AddRef)(NUMORA_THIS) NUMORA_PURE;                                                    \
    NUMORA_METHOD(ULONG, Release)(NUMORA_THIS) NUMORA_PURE

#define NUMORA_IFACE IUnknown
NUMORA_ROOT_INTERFACE(IUnknown)
{
    NUMORA_IUNKNOWN_METHODS;
};
#undef NUMORA_IFACE

typedef struct DISPPARAMS {
    VARIANTARG* rgvarg; /* the last argument first */
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
} DISPPARAMS;

typedef struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    void* pfnDeferredFillIn;
    SCODE scode;
} EXCEPINFO;

#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPATCH_PROPERTYPUTREF 0x8
#define DISPID_UNKNOWN (-1)
#define DISPID_PROPERTYPUT (-3)

#define NUMORA_IDISPATCH_METHODS                                                                              \
    NUMORA_IUNKNOWN_METHODS;                                                                                  \
    NUMORA_METHOD(HRESULT, GetTypeInfoCount)(NUMORA_THIS_ UINT * pctinfo) NUMORA_PURE;                       \
    NUMORA_METHOD(HRESULT, GetTypeInfo)(NUMORA_THIS_ UINT iTInfo, LCID lcid, ITypeInfo * *ppTInfo) NUMORA_PURE; \
    NUMORA_METHOD(HRESULT, GetIDsOfNames)                                                                     \
    (NUMORA_THIS_ const IID* riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) NUMORA_PURE; \
    NUMORA_METHOD(HRESULT, Invoke)                                                                            \
    (NUMORA_THIS_ DISPID dispIdMember, const IID* riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,      \
     VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) NUMORA_PURE

#define NUMORA_IFACE IDispatch
NUMORA_INTERFACE(IDispatch, IUnknown)
{
    NUMORA_IDISPATCH_METHODS;
};
#undef NUMORA_IFACE

typedef struct IClassFactory IClassFactory;
#define NUMORA_IFACE IClassFactory
NUMORA_INTERFACE(IClassFactory, IUnknown)
{
    NUMORA_IUNKNOWN_METHODS;
    NUMORA_METHOD(HRESULT, CreateInstance)(NUMORA_THIS_ IUnknown * pUnkOuter, const IID* riid, void** ppv) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, LockServer)(NUMORA_THIS_ BOOL fLock) NUMORA_PURE;
};
#undef NUMORA_IFACE

/* How a control reaches its container: the host gives the control a site,
 * and the site answers IDispatch for the container window, whose
 * WindowState, Left, Top, Width and Height (twips, screen coordinates, the
 * window's outer frame) the control reads and writes by name. SetSite(NULL)
 * takes the site away before the container goes. */
typedef struct IObjectWithSite IObjectWithSite;
#define NUMORA_IFACE IObjectWithSite
NUMORA_INTERFACE(IObjectWithSite, IUnknown)
{
    NUMORA_IUNKNOWN_METHODS;
    NUMORA_METHOD(HRESULT, SetSite)(NUMORA_THIS_ IUnknown * pUnkSite) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, GetSite)(NUMORA_THIS_ const IID* riid, void** ppvSite) NUMORA_PURE;
};
#undef NUMORA_IFACE

/* The property pages an object offers, in order; pElems from CoTaskMemAlloc. */
typedef struct CAUUID {
    ULONG cElems;
    GUID* pElems;
} CAUUID;

typedef struct ISpecifyPropertyPages ISpecifyPropertyPages;
#define NUMORA_IFACE ISpecifyPropertyPages
NUMORA_INTERFACE(ISpecifyPropertyPages, IUnknown)
{
    NUMORA_IUNKNOWN_METHODS;
    NUMORA_METHOD(HRESULT, GetPages)(NUMORA_THIS_ CAUUID * pPages) NUMORA_PURE;
};
#undef NUMORA_IFACE

typedef struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;

typedef struct SIZE {
    LONG cx;
    LONG cy;
} SIZE;

/* The page's caption and size in pixels; texts from CoTaskMemAlloc. */
typedef struct PROPPAGEINFO {
    ULONG cb;
    LPOLESTR pszTitle;
    SIZE size;
    LPOLESTR pszDocString;
    LPOLESTR pszHelpFile;
    DWORD dwHelpContext;
} PROPPAGEINFO;

#define PROPPAGESTATUS_DIRTY 0x1
#define PROPPAGESTATUS_VALIDATE 0x2
#define PROPPAGESTATUS_CLEAN 0x4

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5

typedef struct IPropertyPageSite IPropertyPageSite;
#define NUMORA_IFACE IPropertyPageSite
NUMORA_INTERFACE(IPropertyPageSite, IUnknown)
{
    NUMORA_IUNKNOWN_METHODS;
    NUMORA_METHOD(HRESULT, OnStatusChange)(NUMORA_THIS_ DWORD dwFlags) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, GetLocaleID)(NUMORA_THIS_ LCID * pLocaleID) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, GetPageContainer)(NUMORA_THIS_ IUnknown * *ppUnk) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, TranslateAccelerator)(NUMORA_THIS_ MSG * pMsg) NUMORA_PURE;
};
#undef NUMORA_IFACE

typedef struct IPropertyPage IPropertyPage;
#define NUMORA_IFACE IPropertyPage
NUMORA_INTERFACE(IPropertyPage, IUnknown)
{
    NUMORA_IUNKNOWN_METHODS;
    NUMORA_METHOD(HRESULT, SetPageSite)(NUMORA_THIS_ IPropertyPageSite * pPageSite) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, Activate)(NUMORA_THIS_ HWND hWndParent, const RECT* pRect, BOOL bModal) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, Deactivate)(NUMORA_THIS) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, GetPageInfo)(NUMORA_THIS_ PROPPAGEINFO * pPageInfo) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, SetObjects)(NUMORA_THIS_ ULONG cObjects, IUnknown** ppUnk) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, Show)(NUMORA_THIS_ UINT nCmdShow) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, Move)(NUMORA_THIS_ const RECT* pRect) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, IsPageDirty)(NUMORA_THIS) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, Apply)(NUMORA_THIS) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, Help)(NUMORA_THIS_ LPCOLESTR pszHelpDir) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, TranslateAccelerator)(NUMORA_THIS_ MSG * pMsg) NUMORA_PURE;
};
#undef NUMORA_IFACE

/* ---- a control library's entry points --------------------------------------- */

/* Writes the library's classes into the per-user class registration. */
typedef HRESULT (*LPFNREGISTERSERVER)(void);
/* Removes what DllRegisterServer wrote. */
typedef HRESULT (*LPFNUNREGISTERSERVER)(void);
/* The class factory of one of the library's classes. */
typedef HRESULT (*LPFNGETCLASSOBJECT)(const CLSID* rclsid, const IID* riid, void** ppv);
/* S_OK when no object of the library lives and no factory is locked. */
typedef HRESULT (*LPFNCANUNLOADNOW)(void);
/* Registers (bInstall true) or unregisters for "user" or "machine". */
typedef HRESULT (*LPFNDLLINSTALL)(BOOL bInstall, LPCOLESTR pszCmdLine);

#define NUMORA_DLL_REGISTER "DllRegisterServer"
#define NUMORA_DLL_UNREGISTER "DllUnregisterServer"
#define NUMORA_DLL_GETCLASSOBJECT "DllGetClassObject"
#define NUMORA_DLL_CANUNLOADNOW "DllCanUnloadNow"
#define NUMORA_DLL_INSTALL "DllInstall"

/* The library's version record, exported as NUMORA_DLL_VERSIONINFO. */
typedef struct NUMORA_VERSIONINFO {
    DWORD cbSize;
    WORD fileVersionMajor;
    WORD fileVersionMinor;
    WORD fileVersionBuild;
    WORD fileVersionRevision;
    DWORD flags;
    const char* fileDescription;
} NUMORA_VERSIONINFO;

#define NUMORA_DLL_VERSIONINFO "DllVersionInfo"
/* The library registers itself through DllRegisterServer. */
#define NUMORA_VERSION_SELFREGISTER 0x1u

#define NUMORA_DLLEXPORT __attribute__((visibility("default")))

/* What a control library defines (the host only looks them up by name). */
NUMORA_DLLEXPORT HRESULT DllRegisterServer(void);
NUMORA_DLLEXPORT HRESULT DllUnregisterServer(void);
NUMORA_DLLEXPORT HRESULT DllGetClassObject(const CLSID* rclsid, const IID* riid, void** ppv);
NUMORA_DLLEXPORT HRESULT DllCanUnloadNow(void);
NUMORA_DLLEXPORT HRESULT DllInstall(BOOL bInstall, LPCOLESTR pszCmdLine);
extern NUMORA_DLLEXPORT const NUMORA_VERSIONINFO DllVersionInfo;

/* ---- the host's side ----------------------------------------------------------- */

/* The class registered for a ProgID. */
HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid);
/* The factory of a registered class: its library is found through the class
 * registration, loaded once and kept for the life of the process. */
HRESULT CoGetClassObject(const CLSID* rclsid, DWORD dwClsContext, void* pvReserved, const IID* riid, void** ppv);
HRESULT CoCreateInstance(const CLSID* rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, const IID* riid, void** ppv);
/* clang-format on */
#define CLSCTX_INPROC_SERVER 0x1u

/* A modal frame with one tab per page, OK, Cancel and Apply. */
HRESULT OleCreatePropertyFrame(HWND hwndOwner, UINT x, UINT y, LPCOLESTR lpszCaption, ULONG cObjects, IUnknown** ppUnk,
                               ULONG cPages, const CLSID* pPageClsID, LCID lcid, DWORD dwReserved, void* pvReserved);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* NUMORA_COM_H */
