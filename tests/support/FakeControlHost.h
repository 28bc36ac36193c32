#pragma once
// A control host with scripted classes: creating a control of a ProgID in
// `registered` gives a FakeControl that records its calls into `invoked`
// (and fails them when `failCalls` is set); any other ProgID gives nullptr,
// as an unregistered class does. Installed for its lifetime.

#include "platform/com/ControlHost.h"
#include "platform/core/Error.h"

#include <set>
#include <string>
#include <vector>

namespace numora::test {

class FakeControlHost : public com::ControlFactory {
public:
    FakeControlHost() : installed_(com::controlFactory().install(*this)) {}

    struct Invocation {
        std::string progId;
        com::DISPID dispId;
        std::vector<QString> args;
    };

    std::unique_ptr<com::HostedControl> create(const std::string& progId, QWidget*) override
    {
        created.push_back(progId);
        if (!registered.count(progId))
            return nullptr;
        return std::make_unique<FakeControl>(*this, progId);
    }

    std::set<std::string> registered;
    bool failCalls = false;
    std::vector<std::string> created;   // every ProgID asked for
    std::vector<std::string> destroyed; // controls destroyed, in order
    std::vector<Invocation> invoked;

private:
    Seam<com::ControlFactory>::Installed installed_;

    class FakeControl : public com::HostedControl {
    public:
        FakeControl(FakeControlHost& host, std::string progId) : host_(host), progId_(std::move(progId)) {}
        ~FakeControl() override { host_.destroyed.push_back(progId_); }
        void Invoke(com::DISPID dispId, const std::vector<QString>& args) override
        {
            host_.invoked.push_back({progId_, dispId, args});
            if (host_.failCalls)
                throw Error(-2147352567, "Exception occurred.");
        }

    private:
        FakeControlHost& host_;
        std::string progId_;
    };
};

} // namespace numora::test
