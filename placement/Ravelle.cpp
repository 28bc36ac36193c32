#include "placement/Ravelle.h"

#include "placement/SettingsStore.h"
#include "platform/com/ScreenTwips.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>

namespace numora::com {
bool InterfaceTraits<_Ravelle>::answers(const IID& iid)
{
    return IsEqualGUID(&iid, &IID__Ravelle) || InterfaceTraits<IDispatch>::answers(iid);
}
} // namespace numora::com

namespace numora::placement {
namespace {

Q_LOGGING_CATEGORY(lcPlacement, "numora.placement", QtWarningMsg)

using com::ComError;
using com::Variant;

constexpr LONG kInitialInterval = 500;

QString source() { return QStringLiteral(KWENDO_LIBRARY_NAME); }

// Leading and trailing blanks only; other white space is part of the name.
QString trimmedSpaces(const QString& s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && s[end - 1] == QLatin1Char(' '))
        --end;
    return s.mid(begin, end - begin);
}

// The guard of every operation that reads, samples or stores: both names set.
bool named()
{
    const PlacementState& s = placementState();
    return !s.AppTitle.isEmpty() && !s.AppSection.isEmpty();
}

// A method of the interface itself: its result always empty, a failure
// returned as the method's result.
template <class F>
HRESULT emptyResult(VARIANT* result, F&& operation)
{
    if (result)
        VariantInit(result);
    return com::guarded([&] {
        operation();
        return S_OK;
    });
}

} // namespace

PlacementState& placementState()
{
    static PlacementState state;
    return state;
}

Ravelle::Ravelle()
{
    placementState().SampleInterval = kInitialInterval;
    Timer1.setInterval(placementState().SampleInterval);
    QObject::connect(&Timer1, &QTimer::timeout, [this] { Timer1_Timer(); });
    Timer1.start();
}

Ravelle::~Ravelle()
{
    try {
        SaveReg();
    } catch (const ComError& e) {
        qCInfo(lcPlacement) << "window placement not stored:" << e.description;
    }
}

// ---- IDispatch ------------------------------------------------------------------

HRESULT Ravelle::GetIDsOfNames(const IID*, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    return com::idsOfNames({{"InitReg", DISPID_RAVELLE_INITREG},
                            {"Refresh", DISPID_RAVELLE_REFRESH},
                            {"UpdateSetting", DISPID_RAVELLE_UPDATESETTING},
                            {"SetInterval", DISPID_RAVELLE_SETINTERVAL},
                            {"GetInterval", DISPID_RAVELLE_GETINTERVAL}},
                           names, count, ids);
}

HRESULT Ravelle::Invoke(DISPID id, const IID*, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                        UINT* argError)
{
    if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
        return DISP_E_MEMBERNOTFOUND;
    if (params && params->cNamedArgs)
        return DISP_E_NONAMEDARGS;
    UINT wanted = 0;
    switch (id) {
    case DISPID_RAVELLE_INITREG: wanted = 2; break;
    case DISPID_RAVELLE_SETINTERVAL: wanted = 1; break;
    case DISPID_RAVELLE_REFRESH:
    case DISPID_RAVELLE_UPDATESETTING:
    case DISPID_RAVELLE_GETINTERVAL: break;
    default: return DISP_E_MEMBERNOTFOUND;
    }
    const UINT given = com::argumentCount(params);
    if (given != wanted)
        return DISP_E_BADPARAMCOUNT;
    // Arguments take their declared types before the call begins.
    std::vector<Variant> args;
    for (UINT i = 0; i < given; ++i) {
        const VARTYPE type = id == DISPID_RAVELLE_SETINTERVAL ? VT_I4 : VT_BSTR;
        Variant arg;
        const HRESULT hr = VariantChangeType(arg.put(), &com::argument(params, i), 0, type);
        if (FAILED(hr)) {
            if (argError)
                *argError = given - 1 - i;
            return hr;
        }
        args.push_back(std::move(arg));
    }
    if (result)
        VariantInit(result);
    try {
        switch (id) {
        case DISPID_RAVELLE_INITREG: doInitReg(args[0].toText(), args[1].toText()); break;
        case DISPID_RAVELLE_REFRESH: doRefresh(); break;
        case DISPID_RAVELLE_UPDATESETTING: doUpdateSetting(); break;
        case DISPID_RAVELLE_SETINTERVAL: doSetInterval(args[0].toI4()); break;
        default:
            if (result) {
                result->vt = VT_I4;
                result->lVal = placementState().SampleInterval;
            }
            break;
        }
        return S_OK;
    } catch (const ComError& e) {
        return com::raise(info, e, source());
    } catch (...) {
        return com::raise(info, ComError(E_FAIL), source());
    }
}

// ---- _Ravelle ----------------------------------------------------------------------

HRESULT Ravelle::InitReg(BSTR* regAppTitle, BSTR* regAppSection, VARIANT* result)
{
    if (!regAppTitle || !regAppSection)
        return E_POINTER;
    return emptyResult(result, [&] { doInitReg(com::fromBstr(*regAppTitle), com::fromBstr(*regAppSection)); });
}

HRESULT Ravelle::Refresh(VARIANT* result)
{
    return emptyResult(result, [&] { doRefresh(); });
}

HRESULT Ravelle::UpdateSetting(VARIANT* result)
{
    return emptyResult(result, [&] { doUpdateSetting(); });
}

HRESULT Ravelle::SetInterval(LONG* TimeInt, VARIANT* result)
{
    if (!TimeInt)
        return E_POINTER;
    return emptyResult(result, [&] { doSetInterval(*TimeInt); });
}

HRESULT Ravelle::GetInterval(LONG* result)
{
    if (!result)
        return E_POINTER;
    *result = placementState().SampleInterval;
    return S_OK;
}

// ---- IObjectWithSite, ISpecifyPropertyPages --------------------------------------------

HRESULT Ravelle::SetSite(IUnknown* site)
{
    // The container is leaving: one last sample, so that a run that ends
    // before the first tick stores where the window was, not where it was
    // read to be before it was shown.
    if (site_ && !site) {
        try {
            doUpdateSetting();
        } catch (const ComError& e) {
            qCInfo(lcPlacement) << "last sampling skipped:" << e.description;
        }
    }
    site_ = site;
    return S_OK;
}

HRESULT Ravelle::GetSite(const IID* riid, void** site)
{
    if (!site)
        return E_POINTER;
    *site = nullptr;
    return site_ ? site_->QueryInterface(riid, site) : E_FAIL;
}

HRESULT Ravelle::GetPages(CAUUID* pages)
{
    if (!pages)
        return E_POINTER;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(2 * sizeof(GUID)));
    if (!pages->pElems) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pages->cElems = 2;
    pages->pElems[0] = CLSID_prpSetting;
    pages->pElems[1] = CLSID_prpAbout;
    return S_OK;
}

// ---- the operations --------------------------------------------------------------------

void Ravelle::doInitReg(const QString& title, const QString& section)
{
    PlacementState& s = placementState();
    s.AppTitle = trimmedSpaces(title);
    s.AppSection = trimmedSpaces(section);
    s.HasPlacement = false;
    doRefresh();
}

void Ravelle::doRefresh()
{
    if (!named())
        return;
    PlacementState& s = placementState();
    // Read phase: a missing key reads as the container's present value.
    struct Key {
        const char* name;
        const char* property;
        std::optional<QString> stored;
    };
    Key keys[] = {{"MainWindow", "WindowState", {}},
                  {"MainLeft", "Left", {}},
                  {"MainTop", "Top", {}},
                  {"MainWidth", "Width", {}},
                  {"MainHeight", "Height", {}}};
    const auto read = [&](Key& key) {
        key.stored = storedSetting(s.AppTitle, s.AppSection, QLatin1String(key.name));
        return Variant::text(key.stored ? *key.stored : get(key.property).toText());
    };
    s.LastWindowState = read(keys[0]).toUI1();
    s.LastLeft = read(keys[1]);
    s.LastTop = read(keys[2]);
    s.LastWidth = read(keys[3]);
    s.LastHeight = read(keys[4]).toI4();
    s.HasPlacement = true;

    // Apply phase; the container converts the texts. A missing key leaves
    // its property as it is: a window that has no stored place yet is placed
    // by the window manager, while a stored one, 0,0 included, is kept.
    // However far it gets, the window is not left where no screen shows it.
    struct KeepOnScreen {
        const Ravelle& control;
        ~KeepOnScreen() { control.keepOnScreen(); }
    } keep{*this};
    const Variant values[] = {Variant::ui1(s.LastWindowState), s.LastLeft, s.LastTop, s.LastWidth,
                              Variant::i4(s.LastHeight)};
    for (std::size_t i = 0; i < std::size(keys); ++i)
        if (keys[i].stored)
            put(keys[i].property, values[i]);
}

void Ravelle::doUpdateSetting()
{
    if (!named())
        return;
    if (get("WindowState").toI4() != 0)
        return; // minimised or maximised: the last normal placement stays
    PlacementState& s = placementState();
    s.LastWindowState = get("WindowState").toUI1();
    s.LastLeft = get("Left");
    s.LastTop = get("Top");
    s.LastWidth = get("Width");
    s.LastHeight = get("Height").toI4();
    s.HasPlacement = true;
}

void Ravelle::doSetInterval(LONG interval)
{
    placementState().SampleInterval = interval;
    // A period of 0 or less stops the sampling rather than spin.
    if (interval > 0)
        Timer1.start(interval);
    else
        Timer1.stop();
}

void Ravelle::SaveReg()
{
    const PlacementState& s = placementState();
    if (!named() || s.LastWindowState != 0 || !s.HasPlacement)
        return;
    const auto save = [&](const char* key, const QString& text) {
        SaveSetting(s.AppTitle, s.AppSection, QLatin1String(key), text);
    };
    save("MainWindow", QStringLiteral("0"));
    save("MainLeft", s.LastLeft.toText());
    save("MainTop", s.LastTop.toText());
    save("MainWidth", s.LastWidth.toText());
    save("MainHeight", Variant::i4(s.LastHeight).toText());
}

void Ravelle::Timer1_Timer()
{
    VARIANT result;
    const HRESULT hr = UpdateSetting(&result);
    VariantClear(&result);
    if (FAILED(hr))
        qCInfo(lcPlacement) << "sampling skipped:" << com::describe(hr);
}

// ---- the container ------------------------------------------------------------------------

com::ComPtr<IDispatch> Ravelle::container() const
{
    auto dispatch = site_.as<IDispatch>(IID_IDispatch);
    if (!dispatch)
        throw ComError(CTL_E_OBJECTNOTSET);
    return dispatch;
}

Variant Ravelle::get(const char* property) const
{
    return com::getProperty(container().get(), QLatin1String(property));
}

void Ravelle::put(const char* property, const Variant& value) const
{
    com::putProperty(container().get(), QLatin1String(property), value);
}

void Ravelle::keepOnScreen() const
{
    try {
        const double x = com::twipsPerPixelX();
        const double y = com::twipsPerPixelY();
        const auto pixels = [&](const char* property, double perPixel) {
            return static_cast<int>(std::lround(get(property).toR4() / perPixel));
        };
        const QRect frame(pixels("Left", x), pixels("Top", y), pixels("Width", x), pixels("Height", y));
        const QRect usable = usablePlacement(frame);
        if (usable == frame)
            return;
        qCInfo(lcPlacement) << "restored window" << frame << "is not usable on the screens; placed at" << usable;
        if (usable.width() != frame.width())
            put("Width", Variant::r4(static_cast<float>(usable.width() * x)));
        if (usable.height() != frame.height())
            put("Height", Variant::r4(static_cast<float>(usable.height() * y)));
        if (usable.x() != frame.x())
            put("Left", Variant::r4(static_cast<float>(usable.x() * x)));
        if (usable.y() != frame.y())
            put("Top", Variant::r4(static_cast<float>(usable.y() * y)));
    } catch (const ComError& e) {
        qCInfo(lcPlacement) << "window not checked against the screens:" << e.description;
    }
}

QRect usablePlacement(const QRect& frame)
{
    // The screen that shows most of the window, else the primary one.
    const QScreen* best = QGuiApplication::primaryScreen();
    qint64 shown = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->availableGeometry().intersected(frame);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > shown) {
            shown = area;
            best = screen;
        }
    }
    if (!best)
        return frame;
    const QRect area = best->availableGeometry();
    // No larger than the screen; then its title bar on the screen, with at
    // least kUsablePixels of the window beside and below its top left.
    QRect placed(frame.topLeft(), frame.size().boundedTo(area.size()));
    const int across = std::min(kUsablePixels, placed.width());
    const int down = std::min(kUsablePixels, placed.height());
    placed.moveLeft(std::clamp(placed.x(), area.left() + across - placed.width(), area.right() + 1 - across));
    placed.moveTop(std::clamp(placed.y(), area.top(), area.bottom() + 1 - down));
    return placed;
}

} // namespace numora::placement
