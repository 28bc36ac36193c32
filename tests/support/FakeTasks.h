#pragma once
// Stands in for other programs: records every start, activation and typed
// text, and fails a start or an activation when told to. Installed for its
// lifetime.

#include "platform/core/Error.h"
#include "platform/process/Tasks.h"

#include <QStringList>

#include <optional>
#include <vector>

namespace numora::test {

class FakeTasks : public process::Tasks {
public:
    long long start(const QString& commandLine) override
    {
        started << commandLine;
        if (startFailure)
            throw *startFailure;
        return nextTask;
    }
    void activate(long long taskId) override
    {
        activated.push_back(taskId);
        if (activateFailure)
            throw *activateFailure;
    }
    void typeText(const QString& text) override { typed << text; }

    QStringList started;
    std::vector<long long> activated;
    QStringList typed;
    std::optional<Error> startFailure, activateFailure;
    long long nextTask = 4242;

private:
    Seam<process::Tasks>::Installed installed_ = process::seam().install(*this);
};

} // namespace numora::test
