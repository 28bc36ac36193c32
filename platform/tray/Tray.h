#pragma once
// The notification-area icon, behind a seam. A window puts its icon in the
// tray with Shell_NotifyIconA(NIM_ADD, record) and takes it out with
// NIM_DELETE and the same record; the icon is known by the window and the
// record's uID. The record holds its window through a guarded pointer: the
// window may be gone before its icon is removed (the program ends after its
// main window), and such a record still names the icon it added. Mouse events on the icon come back to that window as a
// TrayCallbackEvent carrying the record's callback message and the code of
// the mouse event (515 double-click, 517 right button released, ...).
//
// They arrive as an event of their own rather than as a mouse movement of the
// window, so a real movement of the mouse over the window can never be taken
// for a click on the icon.
//
// The real backing is QSystemTrayIcon; tests install a scripted fake.

#include <QEvent>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>

#include "platform/core/Seam.h"

namespace numora::tray {

// Commands.
inline constexpr std::uint32_t NIM_ADD = 0;
inline constexpr std::uint32_t NIM_MODIFY = 1;
inline constexpr std::uint32_t NIM_DELETE = 2;

// Which fields of the record are valid.
inline constexpr std::uint32_t NIF_MESSAGE = 1;
inline constexpr std::uint32_t NIF_ICON = 2;
inline constexpr std::uint32_t NIF_TIP = 4;

// Mouse codes carried by a callback.
inline constexpr int WM_MOUSEMOVE = 512;
inline constexpr int WM_LBUTTONDOWN = 513;
inline constexpr int WM_LBUTTONUP = 514;
inline constexpr int WM_LBUTTONDBLCLK = 515;
inline constexpr int WM_RBUTTONDOWN = 516;
inline constexpr int WM_RBUTTONUP = 517;
inline constexpr int WM_MBUTTONUP = 520;

// The size the record had as a flat structure; kept in cbSize.
inline constexpr std::uint32_t kNotifyIconDataSize = 88;

struct NotifyIconData {
    std::uint32_t cbSize = 0;
    QPointer<QWidget> hWnd; // the window that owns the icon and gets its callbacks; null once gone
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0; // NIF_* bits
    std::uint32_t uCallbackMessage = 0;
    QIcon hIcon;
    std::array<char, 64> szTip{}; // NUL-terminated ANSI text

    // The tip up to its NUL.
    QString tip() const;
    // Stores text left-aligned, then a NUL, the rest of the field blanks.
    // Text beyond 63 characters is cut.
    void setTip(const QString& text);
};

class TrayArea {
public:
    virtual ~TrayArea() = default;
    // Adds, changes or removes the icon the record names; false on failure
    // (adding an icon that exists, removing one that does not, adding while
    // the desktop has no tray: nothing is kept then, so the same add can be
    // tried again once a tray appears; changing an icon whose tray has gone).
    virtual bool notifyIcon(std::uint32_t message, const NotifyIconData& data) = 0;
};

bool Shell_NotifyIconA(std::uint32_t message, const NotifyIconData& data);

// The notification area the calls go to: the desktop's, unless a test installed another.
Seam<TrayArea>& trayArea();

// A mouse event on an icon, sent to the record's window.
class TrayCallbackEvent : public QEvent {
public:
    TrayCallbackEvent(std::uint32_t callbackMessage, std::uint32_t id, int code);
    static QEvent::Type eventType();

    std::uint32_t callbackMessage() const { return message_; }
    std::uint32_t id() const { return id_; }
    int code() const { return code_; }

private:
    std::uint32_t message_;
    std::uint32_t id_;
    int code_;
};

// Sends the callback for an icon's record to its window (used by backings).
void deliverCallback(const NotifyIconData& data, int code);

} // namespace numora::tray
