#include "platform/tray/Tray.h"

#include <QApplication>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <algorithm>
#include <map>
#include <utility>

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
    QCoreApplication::sendEvent(data.hWnd, &event);
}

namespace {

class RealTrayArea final : public TrayArea {
public:
    bool notifyIcon(std::uint32_t message, const NotifyIconData& data) override
    {
        if (!data.hWnd || !qApp)
            return false;
        const Key key{data.hWnd, data.uID};
        auto it = icons_.find(key);
        if (it != icons_.end() && !it->second.icon) { // deleted with the application
            icons_.erase(it);
            it = icons_.end();
        }
        switch (message) {
        case NIM_ADD: {
            if (it != icons_.end())
                return false;
            auto* icon = new QSystemTrayIcon(qApp);
            Entry& entry = icons_[key];
            entry.icon = icon;
            apply(entry, data);
            QObject::connect(icon, &QSystemTrayIcon::activated, icon,
                             [this, key](QSystemTrayIcon::ActivationReason reason) { activated(key, reason); });
            icon->show();
            return QSystemTrayIcon::isSystemTrayAvailable();
        }
        case NIM_MODIFY:
            if (it == icons_.end())
                return false;
            apply(it->second, data);
            return true;
        case NIM_DELETE:
            if (it == icons_.end())
                return false;
            it->second.icon->hide();
            delete it->second.icon.data();
            icons_.erase(it);
            return true;
        default:
            return false;
        }
    }

private:
    using Key = std::pair<QWidget*, std::uint32_t>;
    struct Entry {
        QPointer<QSystemTrayIcon> icon;
        QPointer<QWidget> window; // callbacks go only to a window that still exists
        NotifyIconData data;
    };

    static void apply(Entry& entry, const NotifyIconData& data)
    {
        entry.window = data.hWnd;
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

    void activated(const Key& key, QSystemTrayIcon::ActivationReason reason)
    {
        const auto it = icons_.find(key);
        if (it == icons_.end() || !it->second.window)
            return;
        int code = 0;
        switch (reason) {
        case QSystemTrayIcon::DoubleClick: code = WM_LBUTTONDBLCLK; break;
        case QSystemTrayIcon::Context: code = WM_RBUTTONUP; break;
        case QSystemTrayIcon::Trigger: code = WM_LBUTTONUP; break;
        case QSystemTrayIcon::MiddleClick: code = WM_MBUTTONUP; break;
        default: return;
        }
        deliverCallback(it->second.data, code);
    }

    std::map<Key, Entry> icons_;
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
