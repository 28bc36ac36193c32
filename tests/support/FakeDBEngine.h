#pragma once
// A database engine whose data-source registration fails with scripted
// errors, or throws what a scripted fault throws (leaving its error list
// empty), or succeeds when neither is scripted; it records each call.
// Installed for its lifetime.

#include "platform/dao/DBEngine.h"

#include <functional>
#include <string>
#include <vector>

namespace numora::test {

class FakeDBEngine : public dao::Engine {
public:
    FakeDBEngine() : installed_(dao::databaseEngine().install(*this)) {}

    struct Registration {
        std::string dsn, driver, attributes;
        bool silent;
    };

    void RegisterDatabase(const std::string& dsn, const std::string& driver, bool silent,
                          const std::string& attributes) override
    {
        registrations.push_back({dsn, driver, attributes, silent});
        errors_.clear();
        if (fault)
            fault();
        if (!failWith.empty()) {
            errors_ = failWith;
            throw Error(failWith.front().Number, failWith.front().Description);
        }
    }
    const std::vector<dao::EngineError>& Errors() const override { return errors_; }

    std::vector<dao::EngineError> failWith;
    std::function<void()> fault;
    std::vector<Registration> registrations;

private:
    std::vector<dao::EngineError> errors_;
    Seam<dao::Engine>::Installed installed_;
};

} // namespace numora::test
