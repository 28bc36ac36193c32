#pragma once
// The control's two property pages, prpSetting (the names the placement is
// stored under, and the sampling interval) and prpAbout (the library's
// title, version and notice). Both work on the library-wide PlacementState,
// never on the objects they are shown for.

#include "platform/com/Com.h"

namespace numora::placement {

HRESULT createPrpSetting(const IID* riid, void** ppv);
HRESULT createPrpAbout(const IID* riid, void** ppv);

} // namespace numora::placement
