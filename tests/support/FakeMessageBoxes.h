#pragma once
// Answers message boxes from a script and records what was asked, so a test can
// assert the exact text, buttons, icon and title. Installed for its lifetime.

#include "platform/ui/MsgBox.h"

#include <deque>
#include <vector>

namespace numora::test {

class FakeMessageBoxes : public ui::MessageBoxes {
public:
    FakeMessageBoxes() : installed_(ui::messageBoxes().install(*this)) {}

    // Queues the answer for the next box; with none queued a box is answered
    // with its first button (OK, Yes, Abort or Retry).
    void answer(int result) { answers_.push_back(result); }

    int show(const ui::MessageRequest& request) override
    {
        asked.push_back(request);
        if (!answers_.empty()) {
            const int r = answers_.front();
            answers_.pop_front();
            return r;
        }
        switch (ui::buttonsOf(request.style)) {
        case ui::vbAbortRetryIgnore: return ui::vbAbort;
        case ui::vbYesNoCancel:
        case ui::vbYesNo: return ui::vbYes;
        case ui::vbRetryCancel: return ui::vbRetry;
        default: return ui::vbOK;
        }
    }

    std::vector<ui::MessageRequest> asked;

private:
    std::deque<int> answers_;
    Seam<ui::MessageBoxes>::Installed installed_;
};

} // namespace numora::test
