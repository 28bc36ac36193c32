#include "platform/tray/Tray.h"

#include <QApplication>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <vector>

namespace numora::tray {

QString NotifyIconData::tip() const
{
    const auto end = std::find(szTip.begin(), szTip.end(), '\0');
    return QString::fromLatin1(szTip.data(), static_cast<qsizetype>(end - szTip.begin()));
}

void NotifyIconData::setTip(const QString& text)
{
    szTip.fill(' ');
    const QByteArray latin = text.toLatin1().left(static_cast<qsizetype>(szTip.size() - 1));
    std::copy(latin.begin(), latin.end(), szTip.begin());
    szTip[static_cast<size_t>(latin.size())] = '\0';
}

TrayCallbackEvent::TrayCallbackEvent(std::uint32_t callbackMessage, std::uint32_t id, int code)
    : QEvent(eventType()), message_(callbackMessage), id_(id), code_(code)
{
}

QEvent::Type TrayCallbackEvent::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void deliverCallback(const NotifyIconData& data, int code)
{
    if (!data.hWnd || !(data.uFlags & NIF_MESSAGE))
        return;
    TrayCallbackEvent event(data.uCallbackMessage, data.uID, code);
    QCoreApplication::sendEvent(data.hWnd.data(), &event);
}

namespace {

// The icons this program put in the desktop's tray. An icon is found by its
// window and uID; a record whose window is gone finds the icon of a window
// that is gone (the guarded pointers of both are null).
class RealTrayArea final : public TrayArea {
public:
    bool notifyIcon(std::uint32_t message, const NotifyIconData& data) override
    {
        if (!qApp)
            return false;
        std::erase_if(icons_, [](const std::unique_ptr<Entry>& e) { return !e->icon; }); // gone with the application
        const auto it = std::find_if(icons_.begin(), icons_.end(), [&](const std::unique_ptr<Entry>& e) {
            return e->data.hWnd == data.hWnd && e->data.uID == data.uID;
        });
        switch (message) {
        case NIM_ADD: {
            // Without a tray the icon would show nowhere; the caller may try
            // again when one appears.
            if (!data.hWnd || it != icons_.end() || !QSystemTrayIcon::isSystemTrayAvailable())
                return false;
            auto entry = std::make_unique<Entry>();
            entry->icon = new QSystemTrayIcon(qApp);
            apply(*entry, data);
            Entry* e = entry.get();
            QObject::connect(e->icon, &QSystemTrayIcon::activated, e->icon,
                             [e](QSystemTrayIcon::ActivationReason reason) { activated(*e, reason); });
            e->icon->show();
            icons_.push_back(std::move(entry));
            return true;
        }
        case NIM_MODIFY:
            // An icon whose tray went away is nowhere to be seen.
            if (it == icons_.end() || !QSystemTrayIcon::isSystemTrayAvailable())
                return false;
            apply(**it, data);
            return true;
        case NIM_DELETE:
            if (it == icons_.end())
                return false;
            (*it)->icon->hide();
            delete (*it)->icon.data();
            icons_.erase(it);
            return true;
        default: return false;
        }
    }

private:
    struct Entry {
        QPointer<QSystemTrayIcon> icon;
        NotifyIconData data; // the window, uID and callback message the icon reports with
    };

    static void apply(Entry& entry, const NotifyIconData& data)
    {
        if (data.uFlags & NIF_ICON)
            entry.icon->setIcon(data.hIcon);
        if (data.uFlags & NIF_TIP)
            entry.icon->setToolTip(data.tip());
        if (data.uFlags & NIF_MESSAGE) {
            entry.data.uFlags |= NIF_MESSAGE;
            entry.data.uCallbackMessage = data.uCallbackMessage;
        }
        entry.data.hWnd = data.hWnd;
        entry.data.uID = data.uID;
    }

    static void activated(const Entry& entry, QSystemTrayIcon::ActivationReason reason)
    {
        int code = 0;
        switch (reason) {
        case QSystemTrayIcon::DoubleClick: code = WM_LBUTTONDBLCLK; break;
        case QSystemTrayIcon::Context: code = WM_RBUTTONUP; break;
        case QSystemTrayIcon::Trigger: code = WM_LBUTTONUP; break;
        case QSystemTrayIcon::MiddleClick: code = WM_MBUTTONUP; break;
        default: return;
        }
        deliverCallback(entry.data, code); // nothing once the window is gone
    }

    std::vector<std::unique_ptr<Entry>> icons_;
};

} // namespace

Seam<TrayArea>& trayArea()
{
    static RealTrayArea real;
    static Seam<TrayArea> seam(real);
    return seam;
}

bool Shell_NotifyIconA(std::uint32_t message, const NotifyIconData& data)
{
    return trayArea()->notifyIcon(message, data);
}

} // namespace numora::tray
