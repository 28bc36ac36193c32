#include "platform/keyboard/KeyboardLayout.h"

#include <QGuiApplication>

#include <cstring>

#ifdef NUMORA_HAVE_X11
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#endif

namespace numora::keyboard {

const char* groupNameForLanguage(unsigned languageId)
{
    switch (languageId) {
    case 0x040D: return "Hebrew";
    case 0x0409: return "English";
    default: return "";
    }
}

namespace {

#ifdef NUMORA_HAVE_X11
// The index of the first keyboard group whose name begins with groupName, or
// -1. Group names are what the configured layouts call themselves
// ("Hebrew", "English (US)", ...).
int findGroup(Display* display, const char* groupName)
{
    XkbDescPtr desc = XkbAllocKeyboard();
    if (!desc)
        return -1;
    int found = -1;
    desc->dpy = display;
    if (XkbGetControls(display, XkbGroupsWrapMask, desc) == Success &&
        XkbGetNames(display, XkbGroupNamesMask, desc) == Success && desc->names && desc->ctrls) {
        const int groups = desc->ctrls->num_groups;
        for (int g = 0; g < groups && g < XkbNumKbdGroups && found < 0; ++g) {
            const Atom atom = desc->names->groups[g];
            if (atom == None)
                continue;
            if (char* name = XGetAtomName(display, atom)) {
                if (std::strncmp(name, groupName, std::strlen(groupName)) == 0)
                    found = g;
                XFree(name);
            }
        }
    }
    XkbFreeKeyboard(desc, 0, True);
    return found;
}
#endif

class RealKeyboardLayouts final : public KeyboardLayouts {
public:
    HKL activate(HKL layout, unsigned) override
    {
        const char* groupName = groupNameForLanguage(static_cast<unsigned>(layout & 0xFFFF));
        if (!*groupName)
            return 0;
#ifdef NUMORA_HAVE_X11
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return 0;
        int major = XkbMajorVersion, minor = XkbMinorVersion, reason = 0;
        Display* display = XkbOpenDisplay(nullptr, nullptr, nullptr, &major, &minor, &reason);
        if (!display)
            return 0;
        HKL result = 0;
        const int group = findGroup(display, groupName);
        if (group >= 0 && XkbLockGroup(display, XkbUseCoreKbd, static_cast<unsigned>(group))) {
            XSync(display, False);
            result = layout;
        }
        XCloseDisplay(display);
        return result;
#else
        return 0;
#endif
    }
};

} // namespace

Seam<KeyboardLayouts>& keyboardLayouts()
{
    static RealKeyboardLayouts real;
    static Seam<KeyboardLayouts> seam(real);
    return seam;
}

HKL ActivateKeyboardLayout(HKL layout, unsigned flags) { return keyboardLayouts()->activate(layout, flags); }

} // namespace numora::keyboard
