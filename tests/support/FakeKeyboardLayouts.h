#pragma once
// Records keyboard-layout switches instead of touching the display's
// keyboard. Installed for its lifetime; answers with `result`.

#include "platform/keyboard/KeyboardLayout.h"

#include <utility>
#include <vector>

namespace numora::test {

class FakeKeyboardLayouts : public keyboard::KeyboardLayouts {
public:
    FakeKeyboardLayouts() : installed_(keyboard::keyboardLayouts().install(*this)) {}

    keyboard::HKL activate(keyboard::HKL layout, unsigned flags) override
    {
        calls.emplace_back(layout, flags);
        return result;
    }

    std::vector<std::pair<keyboard::HKL, unsigned>> calls;
    keyboard::HKL result = 0;

private:
    Seam<keyboard::KeyboardLayouts>::Installed installed_;
};

} // namespace numora::test
