#pragma once
// Ravelle, the placement control. Placed on a top-level window, it keeps that
// window's state, position and size in the per-user settings store between
// runs: InitReg names the application and section and restores the stored
// placement at once; a timer then samples the window's placement whenever
// the window is in normal state; when the control goes, the last normal
// placement is written back, always with state 0.

#include "placement/Kwendo.h"
#include "placement/PlacementState.h"
#include "platform/com/ComSupport.h"

#include <QRect>
#include <QTimer>

namespace numora::com {
template <>
struct InterfaceTraits<_Ravelle> {
    static bool answers(const IID& iid); // _Ravelle, IDispatch, IUnknown
};
} // namespace numora::com

namespace numora::placement {

// How much of a window must show for the user to take hold of it, in pixels
// across and down from its title bar.
constexpr int kUsablePixels = 100;

// The placement (a window's outer frame, in pixels) brought onto the screen
// that shows most of it, else the primary one: no larger than that screen's
// free area, its title bar inside that area, and at least kUsablePixels of it
// on the area across and down. A placement that is usable already is
// returned as it is.
QRect usablePlacement(const QRect& frame);

class Ravelle final : public com::DispatchObject<_Ravelle, IObjectWithSite, ISpecifyPropertyPages> {
public:
    Ravelle();
    ~Ravelle() override;

    // IDispatch
    HRESULT GetIDsOfNames(const IID*, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT Invoke(DISPID id, const IID*, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                   UINT* argError) override;

    // _Ravelle
    HRESULT InitReg(BSTR* regAppTitle, BSTR* regAppSection, VARIANT* result) override;
    HRESULT Refresh(VARIANT* result) override;
    HRESULT UpdateSetting(VARIANT* result) override;
    HRESULT SetInterval(LONG* TimeInt, VARIANT* result) override;
    HRESULT GetInterval(LONG* result) override;

    // IObjectWithSite
    HRESULT SetSite(IUnknown* site) override;
    HRESULT GetSite(const IID* riid, void** site) override;

    // ISpecifyPropertyPages
    HRESULT GetPages(CAUUID* pages) override;

private:
    // The operations themselves; a failure throws com::ComError and what was
    // done before it stays done.
    void doInitReg(const QString& title, const QString& section);
    void doRefresh();
    void doUpdateSetting();
    void doSetInterval(LONG interval);
    void SaveReg();
    void Timer1_Timer();

    // The container, asked for anew at every access.
    com::ComPtr<IDispatch> container() const;
    com::Variant get(const char* property) const;
    void put(const char* property, const com::Variant& value) const;
    // A restored window too large for its screen, or with too little of it
    // on any screen to be taken hold of, is brought back (usablePlacement).
    void keepOnScreen() const;

    QTimer Timer1;
    com::ComPtr<IUnknown> site_;
};

} // namespace numora::placement
