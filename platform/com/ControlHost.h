#pragma once
// Hosting a control of a separately registered control library, behind a
// seam. A window creates the control by its ProgID: the class is found
// through the class registration, its library loaded and the control
// created through the library's class factory; the control gets the window
// as its container (WindowDispatch.h) and is bound to by dispatch id. The
// window keeps the control for as long as it is loaded and destroys it when
// it unloads: the control loses its container first, then its last reference.
//
// Until a library is registered for a ProgID (or when it cannot be loaded or
// refuses to create the control), creating the control gives nullptr and the
// window goes on without it; the reason is logged under numora.com.

#include "platform/com/Com.h"
#include "platform/core/Seam.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace numora::com {

using DISPID = ::DISPID;

class HostedControl {
public:
    virtual ~HostedControl() = default;
    // Calls a method by dispatch id with text arguments passed by value.
    // Throws numora::Error when the control fails the call.
    virtual void Invoke(DISPID dispId, const std::vector<QString>& textArgs) = 0;
    // The control itself, for its property pages; null where there is none.
    virtual IDispatch* object() const { return nullptr; }
};

class ControlFactory {
public:
    virtual ~ControlFactory() = default;
    // The control of class progId placed on container, or nullptr when the
    // class is not registered or cannot be created.
    virtual std::unique_ptr<HostedControl> create(const std::string& progId, QWidget* container) = 0;
};

Seam<ControlFactory>& controlFactory();

std::unique_ptr<HostedControl> createControl(const std::string& progId, QWidget* container);

// Shows the control's property pages in a modal frame over owner.
// Returns false when the control offers none.
bool showPropertyPages(HostedControl& control, QWidget* owner, const QString& caption);

} // namespace numora::com
