#include "platform/process/Keystrokes.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QThread>
#include <QTimer>

#include <map>
#include <string>
#include <vector>

#include "platform/core/Error.h"

// Xlib's macros (None, Bool, KeyPress, ...) clash with Qt's names: after every Qt header.
extern "C" {
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
}

Q_LOGGING_CATEGORY(lcKeystrokes, "numora.process", QtWarningMsg)

namespace numora::process::detail {
namespace {

// Between two characters, as a person types fast; the program's own windows
// are served meanwhile.
constexpr int kCharacterPauseMs = 10;
// How long the spare key codes stay bound after the last typing.
constexpr int kUnbindAfterMs = 3000;

KeySym keysymOf(char32_t c)
{
    // Latin-1 characters are their own key symbols; every other one has its Unicode symbol.
    if ((c >= 0x20 && c <= 0x7e) || (c >= 0xa0 && c <= 0xff))
        return static_cast<KeySym>(c);
    return static_cast<KeySym>(0x01000000 | c);
}

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7f && c < 0xa0); }

// The spare key codes bound to characters (one on the plain level, then one
// on the shifted level), on one display, until they are undone. Only the
// main thread types.
struct Bindings {
    std::string display; // the display they were made on
    std::map<KeyCode, std::vector<KeySym>> keys;
    QTimer* unbindTimer = nullptr;
};

Bindings& bindings()
{
    static Bindings b;
    return b;
}

// Puts the spare key codes back as they were: those still holding what was
// bound to them, on the display they were bound on.
void unbindAll()
{
    Bindings& b = bindings();
    if (b.keys.empty())
        return;
    Display* display = XOpenDisplay(b.display.c_str());
    if (!display) {
        qCDebug(lcKeystrokes) << "the display of the bound keys is gone; nothing to undo";
        b.keys.clear();
        return;
    }
    for (const auto& [code, syms] : b.keys) {
        int perCode = 0;
        KeySym* now = XGetKeyboardMapping(display, code, 1, &perCode);
        bool ours = now && perCode >= static_cast<int>(syms.size());
        for (std::size_t i = 0; ours && i < syms.size(); ++i)
            ours = now[i] == syms[i];
        if (now)
            XFree(now);
        if (!ours)
            continue; // changed by another program since: left as it is now
        KeySym none = NoSymbol;
        XChangeKeyboardMapping(display, code, 1, &none, 1);
    }
    XSync(display, False);
    XCloseDisplay(display);
    b.keys.clear();
}

void scheduleUnbinding()
{
    Bindings& b = bindings();
    if (b.keys.empty() || !QCoreApplication::instance())
        return;
    if (!b.unbindTimer) {
        b.unbindTimer = new QTimer(QCoreApplication::instance());
        b.unbindTimer->setSingleShot(true);
        QObject::connect(b.unbindTimer, &QTimer::timeout, [] { unbindAll(); });
        // The program's end undoes them too; the timer goes with the application.
        qAddPostRoutine([] {
            bindings().unbindTimer = nullptr;
            unbindAll();
        });
    }
    b.unbindTimer->start(kUnbindAfterMs);
}

void stopUnbinding()
{
    if (QTimer* t = bindings().unbindTimer)
        t->stop();
}

// The keys of the current keyboard group: where each key symbol is, on the
// plain level or the shifted one.
struct KeyPlace {
    KeyCode code = 0;
    bool shifted = false;
};

class KeyMap {
public:
    explicit KeyMap(Display* display) : display_(display)
    {
        XDisplayKeycodes(display_, &low_, &high_);
        XkbStateRec state{};
        if (XkbGetState(display_, XkbUseCoreKbd, &state) == Success)
            group_ = state.group;
        for (int code = low_; code <= high_; ++code) {
            for (int level = 0; level < 2; ++level) {
                const KeySym sym = XkbKeycodeToKeysym(display_, static_cast<KeyCode>(code), group_, level);
                if (sym != NoSymbol && !places_.count(sym))
                    places_[sym] = {static_cast<KeyCode>(code), level == 1};
            }
        }
    }

    const KeyPlace* find(KeySym sym) const
    {
        const auto it = places_.find(sym);
        return it == places_.end() ? nullptr : &it->second;
    }

    // Binds the symbol to a key code that has none at all, or else to the
    // shifted level of one bound before; false when neither is left.
    bool bind(KeySym sym)
    {
        auto& bound = bindings().keys;
        int perCode = 0;
        KeySym* map = XGetKeyboardMapping(display_, static_cast<KeyCode>(low_), high_ - low_ + 1, &perCode);
        if (!map)
            return false;
        int spare = 0;
        for (int code = low_; code <= high_ && !spare; ++code) {
            bool empty = true;
            for (int i = 0; i < perCode && empty; ++i)
                empty = map[(code - low_) * perCode + i] == NoSymbol;
            if (empty && !bound.count(static_cast<KeyCode>(code)))
                spare = code;
        }
        XFree(map);
        if (spare) {
            KeySym one = sym;
            XChangeKeyboardMapping(display_, spare, 1, &one, 1);
            bound[static_cast<KeyCode>(spare)] = {sym};
            places_[sym] = {static_cast<KeyCode>(spare), false};
            return true;
        }
        for (auto& [code, syms] : bound) {
            if (syms.size() != 1)
                continue;
            KeySym two[2] = {syms[0], sym};
            XChangeKeyboardMapping(display_, code, 2, two, 1);
            syms.push_back(sym);
            places_[sym] = {code, true};
            return true;
        }
        return false;
    }

private:
    Display* display_;
    int low_ = 8, high_ = 255;
    int group_ = 0;
    std::map<KeySym, KeyPlace> places_;
};

void pause()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, kCharacterPauseMs);
    QThread::msleep(kCharacterPauseMs);
}

} // namespace

void typeKeystrokes(Display* display, const QString& text)
{
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor))
        throw Error(5, "The display cannot take typed keystrokes (it has no XTEST extension)");

    // Every character's key is found, or bound, before the first is typed.
    stopUnbinding();
    Bindings& b = bindings();
    if (!b.keys.empty() && b.display != DisplayString(display))
        unbindAll();
    b.display = DisplayString(display);
    KeyMap keys(display);
    std::vector<KeySym> typed;
    bool bound = false;
    for (const char32_t c : text.toUcs4()) {
        if (isControl(c)) {
            qCDebug(lcKeystrokes) << "a control character is not typed:" << static_cast<unsigned>(c);
            continue;
        }
        const KeySym sym = keysymOf(c);
        if (!keys.find(sym)) {
            if (!keys.bind(sym)) {
                XSync(display, False);
                scheduleUnbinding();
                throw Error(5, "The keyboard map has no free key left to type the character U+" +
                                   QString::number(static_cast<unsigned>(c), 16).toUpper().toStdString());
            }
            bound = true;
        }
        typed.push_back(sym);
    }
    if (bound)
        XSync(display, False);

    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
    for (const KeySym sym : typed) {
        const KeyPlace& place = *keys.find(sym);
        const bool withShift = place.shifted && shift;
        if (withShift)
            XTestFakeKeyEvent(display, shift, True, CurrentTime);
        XTestFakeKeyEvent(display, place.code, True, CurrentTime);
        XTestFakeKeyEvent(display, place.code, False, CurrentTime);
        if (withShift)
            XTestFakeKeyEvent(display, shift, False, CurrentTime);
        XFlush(display);
        pause();
    }
    // Once the server has answered, it has handed every keystroke on.
    XSync(display, False);
    scheduleUnbinding();
}

} // namespace numora::process::detail
