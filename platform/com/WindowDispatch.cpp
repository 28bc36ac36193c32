#include "platform/com/WindowDispatch.h"

#include "platform/com/ComSupport.h"
#include "platform/com/FrameExtents.h"
#include "platform/com/ScreenTwips.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <cmath>
#include <optional>

namespace numora::com {
namespace {

enum Member : DISPID { WindowState = 1, Left, Top, Width, Height };

// QWIDGETSIZE_MAX: no screen is larger, no window lies further out.
constexpr double kPixelLimit = 16777215.0;

// A window that is not on screen yet has no frame. Its outer size is kept as
// the client size plus the frame the window manager says it will add; where
// no window manager says so beforehand, the outer size is kept here and the
// client made smaller by the frame once the window is on screen in normal
// state and the frame is known, so the window does not grow by a frame at
// every start.
class OuterSizeUntilFramed final : public QObject {
public:
    static OuterSizeUntilFramed& of(QWidget& window)
    {
        for (QObject* child : window.children())
            if (auto* keeper = dynamic_cast<OuterSizeUntilFramed*>(child))
                return *keeper;
        return *new OuterSizeUntilFramed(window);
    }

    void keep(Qt::Orientation side, int outer) { (side == Qt::Horizontal ? width_ : height_) = outer; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type t = event->type();
        if (t != QEvent::Show && t != QEvent::Move && t != QEvent::Resize)
            return false;
        auto* window = static_cast<QWidget*>(watched);
        const QSize frame = window->frameGeometry().size() - window->geometry().size();
        // A maximised window's frame is not its normal one: wait for normal.
        if (!window->isVisible() || frame.isNull() ||
            (window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
            return false;
        QSize client = window->size();
        if (width_ >= 0)
            client.setWidth(width_ - frame.width());
        if (height_ >= 0)
            client.setHeight(height_ - frame.height());
        window->removeEventFilter(this);
        deleteLater();
        window->resize(client.expandedTo(window->minimumSize()));
        return false;
    }

private:
    explicit OuterSizeUntilFramed(QWidget& window) : QObject(&window) { window.installEventFilter(this); }

    int width_ = -1;
    int height_ = -1;
};

class WindowDispatch final : public DispatchObject<IDispatch> {
public:
    explicit WindowDispatch(QWidget* window) : window_(window) {}
    HRESULT GetIDsOfNames(const IID*, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return idsOfNames(
            {{"WindowState", WindowState}, {"Left", Left}, {"Top", Top}, {"Width", Width}, {"Height", Height}}, names,
            count, ids);
    }

    HRESULT Invoke(DISPID id, const IID*, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                   UINT* argError) override
    {
        return guarded([&]() -> HRESULT {
            if (id < WindowState || id > Height)
                return DISP_E_MEMBERNOTFOUND;
            QWidget* window = window_.data();
            if (!window)
                return raise(info, ComError(CTL_E_OBJECTNOTSET), source());
            if (flags & DISPATCH_PROPERTYPUT) {
                if (argumentCount(params) != 1)
                    return DISP_E_BADPARAMCOUNT;
                const HRESULT hr = put(*window, id, argument(params, 0));
                if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW) {
                    if (argError)
                        *argError = 0;
                    return hr;
                }
                return FAILED(hr) ? raise(info, ComError(hr), source()) : S_OK;
            }
            if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)))
                return DISP_E_MEMBERNOTFOUND;
            if (argumentCount(params) != 0)
                return DISP_E_BADPARAMCOUNT;
            if (result) {
                VariantClear(result);
                *result = get(*window, id).detach();
            }
            return S_OK;
        });
    }

private:
    static QString source() { return QCoreApplication::applicationName(); }

    // The window's outer frame in pixels. One not on screen yet has none of
    // its own: its size is the client's and the frame the window manager will
    // add (nothing where that is not known before showing), its position the
    // frame's place it was given.
    QRect outer(QWidget& w)
    {
        if (w.isVisible()) {
            placedBeforeShowing_.reset();
            return w.frameGeometry();
        }
        if (!frameAsked_) {
            frameAsked_ = true;
            frame_ = frameBeforeShowing(w);
        }
        return QRect(placedBeforeShowing_.value_or(w.frameGeometry().topLeft()),
                     w.size().grownBy(frame_.value_or(QMargins())));
    }

    // Moves the window's frame to a place. One not shown yet whose frame is
    // known is given its client's place, so that it is shown there once, its
    // frame around it where the frame was asked to go.
    void moveFrame(QWidget& w, const QPoint& to)
    {
        if (w.isVisible() || !frame_) {
            w.move(to);
            return;
        }
        w.setGeometry(QRect(to + QPoint(frame_->left(), frame_->top()), w.size()));
        placedBeforeShowing_ = to;
    }

    Variant get(QWidget& w, DISPID id)
    {
        if (id == WindowState) {
            const Qt::WindowStates s = w.windowState();
            return Variant::i2(s & Qt::WindowMinimized ? 1 : s & (Qt::WindowMaximized | Qt::WindowFullScreen) ? 2 : 0);
        }
        const QRect frame = outer(w);
        switch (id) {
        case Left: return Variant::r4(static_cast<float>(frame.x() * twipsPerPixelX()));
        case Top: return Variant::r4(static_cast<float>(frame.y() * twipsPerPixelY()));
        case Width: return Variant::r4(static_cast<float>(frame.width() * twipsPerPixelX()));
        default: return Variant::r4(static_cast<float>(frame.height() * twipsPerPixelY()));
        }
    }

    HRESULT put(QWidget& w, DISPID id, const VARIANT& value)
    {
        VARIANT number;
        VariantInit(&number);
        const HRESULT hr = VariantChangeType(&number, &value, 0, id == WindowState ? VT_I2 : VT_R4);
        if (FAILED(hr))
            return hr;
        if (id == WindowState)
            return putState(w, number.iVal);
        const bool across = id == Left || id == Width;
        const double pixels = std::round(number.fltVal / (across ? twipsPerPixelX() : twipsPerPixelY()));
        if (std::fabs(pixels) > kPixelLimit)
            return DISP_E_OVERFLOW;
        const int n = static_cast<int>(pixels);
        const QRect frame = outer(w);
        switch (id) {
        // The frame goes where it is asked to, 0,0 included: a position
        // given is never left to the window manager.
        case Left: moveFrame(w, QPoint(n, frame.y())); return S_OK;
        case Top: moveFrame(w, QPoint(frame.x(), n)); return S_OK;
        default:
            if (n < 0)
                return CTL_E_INVALIDPROPERTYVALUE;
            // The frame's own share of the outer size stays the frame's.
            const QSize extra = frame.size() - w.size();
            QSize client = w.size();
            if (id == Width)
                client.setWidth(n - extra.width());
            else
                client.setHeight(n - extra.height());
            client = client.expandedTo(w.minimumSize()).expandedTo(w.minimumSizeHint()).expandedTo(QSize(1, 1));
            if (client != w.size())
                w.resize(client);
            if (!w.isVisible() && !frame_)
                OuterSizeUntilFramed::of(w).keep(id == Width ? Qt::Horizontal : Qt::Vertical, n);
            return S_OK;
        }
    }

    static HRESULT putState(QWidget& w, SHORT state)
    {
        const Qt::WindowStates now = w.windowState();
        Qt::WindowStates next = now & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
        switch (state) {
        case 0: break;
        case 1: next = now | Qt::WindowMinimized; break;
        case 2: next |= Qt::WindowMaximized; break;
        default: return CTL_E_INVALIDPROPERTYVALUE;
        }
        if (next != now)
            w.setWindowState(next);
        return S_OK;
    }

    // The frame the window manager gives the window, asked once while the
    // window is not shown yet; nullopt when it could not be known then.
    bool frameAsked_ = false;
    std::optional<QMargins> frame_;
    std::optional<QPoint> placedBeforeShowing_; // the frame's place given while not shown
    QPointer<QWidget> window_;
};

} // namespace

IDispatch* createWindowDispatch(QWidget* window) { return new WindowDispatch(window); }

} // namespace numora::com
