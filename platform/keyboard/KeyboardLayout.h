#pragma once
// Switching the active input language, behind a seam.
//
// A layout handle carries a language id in its low 16 bits (0x040D Hebrew,
// 0x0409 English). On X11 the real backing looks for a group of the keyboard
// the user has configured whose name is that language and makes it the
// locked group; with no such group, or on a display that is not X11, it does
// nothing. It never changes the keyboard's configuration.

#include <cstdint>

#include "platform/core/Seam.h"

namespace numora::keyboard {

using HKL = std::uintptr_t;

inline constexpr HKL kHebrewLayout = 0x040D040D;

class KeyboardLayouts {
public:
    virtual ~KeyboardLayouts() = default;
    // Returns the handle that was activated, or 0 when nothing changed.
    virtual HKL activate(HKL layout, unsigned flags) = 0;
};

HKL ActivateKeyboardLayout(HKL layout, unsigned flags);

// The backing the switch goes through: the X keyboard, unless a test installed another.
Seam<KeyboardLayouts>& keyboardLayouts();

// The keyboard group name a language id is known by ("Hebrew" for 0x040D);
// empty for a language the program does not switch to.
const char* groupNameForLanguage(unsigned languageId);

} // namespace numora::keyboard
