#include "platform/com/ControlHost.h"

namespace numora::com {
namespace {

// No class registration exists yet on this system, so no ProgID resolves;
// the registry-backed host takes this one's place when it does.
class RealControlFactory final : public ControlFactory {
public:
    std::unique_ptr<HostedControl> create(const std::string&, QWidget*) override { return nullptr; }
};

RealControlFactory g_real;
ControlFactory* g_factory = &g_real;

} // namespace

std::unique_ptr<HostedControl> createControl(const std::string& progId, QWidget* container)
{
    return g_factory->create(progId, container);
}

void setControlFactory(ControlFactory* factory) { g_factory = factory ? factory : &g_real; }

} // namespace numora::com
