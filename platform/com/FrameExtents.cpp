#include "platform/com/FrameExtents.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QThread>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace numora::com {
namespace {

Q_LOGGING_CATEGORY(lcFrame, "numora.com", QtWarningMsg)

// A loaded window manager answers within milliseconds; past this the frame
// is measured once the window is on screen instead.
constexpr int kAnswerWaitMs = 1000;

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The 32-bit values of a property; empty when it is not set.
std::vector<uint32_t> values(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 1024), nullptr), &std::free);
    if (!reply || reply->format != 32 || reply->type != type)
        return {};
    const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<uint32_t>(data, data + xcb_get_property_value_length(reply.get()) / 4);
}

} // namespace

std::optional<QMargins> frameBeforeShowing(QWidget& window)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 ? x11->connection() : nullptr;
    if (!c || !window.isWindow())
        return std::nullopt;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_atom_t request = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = atom(c, "_NET_FRAME_EXTENTS");
    const std::vector<uint32_t> supported = values(c, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
    if (request == XCB_ATOM_NONE || std::find(supported.begin(), supported.end(), request) == supported.end()) {
        qCDebug(lcFrame) << "the window manager tells no frame before a window is shown";
        return std::nullopt;
    }

    // The request goes over the toolkit's own connection, after the window's
    // creation, so the window manager meets a window that exists.
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);

    const QDeadlineTimer deadline(kAnswerWaitMs);
    do {
        const std::vector<uint32_t> frame = values(c, id, extents, XCB_ATOM_CARDINAL);
        if (frame.size() == 4) // left, right, top, bottom
            return QMargins(static_cast<int>(frame[0]), static_cast<int>(frame[2]), static_cast<int>(frame[1]),
                            static_cast<int>(frame[3]));
        QThread::msleep(5);
    } while (!deadline.hasExpired());
    qCInfo(lcFrame) << "the window manager did not tell the frame within" << kAnswerWaitMs << "ms";
    return std::nullopt;
}

} // namespace numora::com
