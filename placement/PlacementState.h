#pragma once
// The library's one set of placement state. Every Ravelle in a process and
// both property pages read and write these same fields.

#include "platform/com/ComSupport.h"

#include <QString>

namespace numora::placement {

struct PlacementState {
    QString AppTitle;         // application the placement is stored under, spaces trimmed
    QString AppSection;       // section under that application, spaces trimmed
    BYTE LastWindowState = 0; // 0 normal, 1 minimised, 2 maximised
    com::Variant LastLeft;    // twips: a single when sampled, the stored text when read
    com::Variant LastTop;
    com::Variant LastWidth;
    LONG LastHeight = 0;     // twips, always whole
    LONG SampleInterval = 0; // milliseconds; every new control sets it to 500
    // A whole placement was read or sampled under the present names, so
    // there is something to store; a read that failed halfway leaves the
    // stored placement alone rather than overwrite it with half of one.
    bool HasPlacement = false;
};

PlacementState& placementState();

} // namespace numora::placement
