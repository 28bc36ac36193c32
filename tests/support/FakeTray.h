#pragma once
// Stands in for the notification area: records every Shell_NotifyIconA call
// and keeps the icons that are present, keyed by window and uID as the real
// tray does. Installed for its lifetime.

#include "platform/tray/Tray.h"

#include <QWidget>

#include <map>
#include <utility>
#include <vector>

namespace numora::test {

class FakeTray : public tray::TrayArea {
public:
    FakeTray() : installed_(tray::trayArea().install(*this)) {}

    struct Call {
        std::uint32_t message;
        tray::NotifyIconData data;
        bool windowVisible; // whether the record's window was on screen at the call
    };

    bool notifyIcon(std::uint32_t message, const tray::NotifyIconData& data) override
    {
        calls.push_back({message, data, data.hWnd && data.hWnd->isVisible()});
        const Key key{data.hWnd, data.uID};
        switch (message) {
        case tray::NIM_ADD: return icons.emplace(key, data).second;
        case tray::NIM_MODIFY: return icons.count(key) ? (icons[key] = data, true) : false;
        case tray::NIM_DELETE: return icons.erase(key) > 0;
        default: return false;
        }
    }

    bool hasIcon(QWidget* window, std::uint32_t id) const { return icons.count({window, id}) > 0; }

    // A mouse event on a present icon, sent to its window as the real tray does.
    bool click(QWidget* window, std::uint32_t id, int code)
    {
        const auto it = icons.find({window, id});
        if (it == icons.end())
            return false;
        tray::deliverCallback(it->second, code);
        return true;
    }

    using Key = std::pair<QWidget*, std::uint32_t>;
    std::vector<Call> calls;
    std::map<Key, tray::NotifyIconData> icons;

private:
    Seam<tray::TrayArea>::Installed installed_;
};

} // namespace numora::test
