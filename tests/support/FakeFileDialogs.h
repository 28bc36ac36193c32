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

    void choose(const QString& path) { answers_.push_back(path); }
    void cancel() { answers_.push_back(QString()); } // a null text stands for cancelling

    std::optional<QString> show(const ui::FileDialogRequest& request, QWidget*) override
    {
        asked.push_back(request);
        if (answers_.empty())
            return std::nullopt;
        const QString answer = answers_.front();
        answers_.pop_front();
        if (answer.isNull())
            return std::nullopt;
        return answer;
    }

    std::vector<ui::FileDialogRequest> asked;

private:
    std::deque<QString> answers_;
    Seam<ui::FileDialogs>::Installed installed_;
};

} // namespace numora::test
