#pragma once
// Answers file dialogs from a script and records what was asked. With no
// answer queued a dialog is cancelled.

#include <deque>
#include <optional>
#include <vector>

#include "platform/ui/CommonDialog.h"

namespace numora::test {

class FakeFileDialogs : public ui::FileDialogs {
public:
    FakeFileDialogs() : installed_(ui::fileDialogs().install(*this)) {}

    void choose(const QString& path) { answers_.emplace_back(path); }
    void cancel() { answers_.emplace_back(std::nullopt); }

    std::optional<QString> show(const ui::FileDialogRequest& request, QWidget*) override
    {
        asked.push_back(request);
        if (answers_.empty())
            return std::nullopt;
        std::optional<QString> answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    std::vector<ui::FileDialogRequest> asked;

private:
    std::deque<std::optional<QString>> answers_;
    Seam<ui::FileDialogs>::Installed installed_;
};

} // namespace numora::test
