#pragma once
// Hosting a control of a separately registered control library, behind a
// seam. A window creates the control by its ProgID; the host finds the class
// through the class registration, loads the library and binds to the control
// by dispatch id. The window keeps the control for as long as it is loaded
// and destroys it when it unloads.
//
// Until a library is registered for a ProgID, creating the control gives
// nullptr and the window goes on without it.

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace numora::com {

using DISPID = std::int32_t;

class HostedControl {
public:
    virtual ~HostedControl() = default;
    // Calls a method by dispatch id with text arguments passed by value.
    // Throws numora::Error when the control fails the call.
    virtual void Invoke(DISPID dispId, const std::vector<QString>& textArgs) = 0;
};

class ControlFactory {
public:
    virtual ~ControlFactory() = default;
    // The control of class progId placed on container, or nullptr when the
    // class is not registered or cannot be created.
    virtual std::unique_ptr<HostedControl> create(const std::string& progId, QWidget* container) = 0;
};

std::unique_ptr<HostedControl> createControl(const std::string& progId, QWidget* container);

// Installs the factory; nullptr restores the real one.
void setControlFactory(ControlFactory* factory);

} // namespace numora::com
