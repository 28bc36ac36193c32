/*
 * The control library Kwendo as its hosts see it: the type library, the
 * placement control Ravelle (ProgID "Kwendo.Ravelle") with its dual
 * interface _Ravelle and dispatch ids, and its two property pages. Valid C
 * and C++, over the runtime of platform/com/Com.h.
 */
#ifndef KWENDO_H
#define KWENDO_H

#include "platform/com/Com.h"

#ifdef __cplusplus
extern "C" {
#endif

#define KWENDO_LIBRARY_NAME "Kwendo"
#define KWENDO_VERSION_MAJOR 1
#define KWENDO_VERSION_MINOR 0
#define KWENDO_VERSION_REVISION 0
#define KWENDO_LCID 0x0409
#define KWENDO_PROGID_RAVELLE "Kwendo.Ravelle"

static const GUID LIBID_Kwendo = {0xCBFA5B46, 0x42D3, 0x11D4, {0x99, 0xC0, 0x00, 0x90, 0x27, 0x5A, 0x8A, 0x92}};
static const CLSID CLSID_Ravelle = {0xCBFA5B40, 0x42D3, 0x11D4, {0x99, 0xC0, 0x00, 0x90, 0x27, 0x5A, 0x8A, 0x92}};
static const IID IID__Ravelle = {0xCBFA5B3F, 0x42D3, 0x11D4, {0x99, 0xC0, 0x00, 0x90, 0x27, 0x5A, 0x8A, 0x92}};
/* The control's source interface; it has no events. */
static const IID DIID___Ravelle = {0xCBFA5B41, 0x42D3, 0x11D4, {0x99, 0xC0, 0x00, 0x90, 0x27, 0x5A, 0x8A, 0x92}};
static const CLSID CLSID_prpSetting = {0xCBFA5B45, 0x42D3, 0x11D4, {0x99, 0xC0, 0x00, 0x90, 0x27, 0x5A, 0x8A, 0x92}};
static const IID IID__prpSetting = {0xCBFA5B44, 0x42D3, 0x11D4, {0x99, 0xC0, 0x00, 0x90, 0x27, 0x5A, 0x8A, 0x92}};
static const CLSID CLSID_prpAbout = {0xCBFA5B43, 0x42D3, 0x11D4, {0x99, 0xC0, 0x00, 0x90, 0x27, 0x5A, 0x8A, 0x92}};
static const IID IID__prpAbout = {0xCBFA5B42, 0x42D3, 0x11D4, {0x99, 0xC0, 0x00, 0x90, 0x27, 0x5A, 0x8A, 0x92}};

/* Dispatch ids of _Ravelle; hosts bind to the methods by them. */
#define DISPID_RAVELLE_INITREG 0x60030000
#define DISPID_RAVELLE_REFRESH 0x60030001
#define DISPID_RAVELLE_UPDATESETTING 0x60030002
#define DISPID_RAVELLE_SETINTERVAL 0x60030007
#define DISPID_RAVELLE_GETINTERVAL 0x60030008

/* The methods in slot order, every argument by reference; the first four
 * leave their result empty. */
typedef struct _Ravelle _Ravelle;
/* clang-format off */
#define NUMORA_IFACE _Ravelle
NUMORA_INTERFACE(_Ravelle, IDispatch)
{
    NUMORA_IDISPATCH_METHODS;
    NUMORA_METHOD(HRESULT, InitReg)(NUMORA_THIS_ BSTR * regAppTitle, BSTR * regAppSection, VARIANT * pResult) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, Refresh)(NUMORA_THIS_ VARIANT * pResult) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, UpdateSetting)(NUMORA_THIS_ VARIANT * pResult) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, SetInterval)(NUMORA_THIS_ LONG * TimeInt, VARIANT * pResult) NUMORA_PURE;
    NUMORA_METHOD(HRESULT, GetInterval)(NUMORA_THIS_ LONG * pResult) NUMORA_PURE;
};
#undef NUMORA_IFACE
    /* clang-format on */

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KWENDO_H */
