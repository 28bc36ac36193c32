#pragma once
// Stands in for the notification area: records every Shell_NotifyIconA call
// and keeps the icons that are present, known by window and uID as the real
// tray knows them (a record whose window is gone names the icon of a window
// that is gone). Installed for its lifetime. Clearing `available` makes the
// desktop one without a tray (or whose tray went away): adds fail and keep
// nothing, and changes fail, as the real ones do.

#include "platform/tray/Tray.h"

#include <QWidget>

#include <algorithm>
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
        const auto it = find(data.hWnd.data(), data.uID);
        switch (message) {
        case tray::NIM_ADD:
            if (!available || !data.hWnd || it != icons.end())
                return false;
            icons.push_back(data);
            return true;
        case tray::NIM_MODIFY:
            if (!available || it == icons.end())
                return false;
            *it = data;
            return true;
        case tray::NIM_DELETE:
            if (it == icons.end())
                return false;
            icons.erase(it);
            return true;
        default: return false;
        }
    }

    bool hasIcon(QWidget* window, std::uint32_t id) { return find(window, id) != icons.end(); }

    // A mouse event on a present icon, sent to its window as the real tray does.
    bool click(QWidget* window, std::uint32_t id, int code)
    {
        const auto it = find(window, id);
        if (it == icons.end())
            return false;
        tray::deliverCallback(*it, code);
        return true;
    }

    bool available = true;
    std::vector<Call> calls;
    std::vector<tray::NotifyIconData> icons;

private:
    std::vector<tray::NotifyIconData>::iterator find(const QWidget* window, std::uint32_t id)
    {
        return std::find_if(icons.begin(), icons.end(),
                            [&](const tray::NotifyIconData& d) { return d.hWnd.data() == window && d.uID == id; });
    }

    Seam<tray::TrayArea>::Installed installed_;
};

} // namespace numora::test
