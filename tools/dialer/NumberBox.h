#pragma once
// What the dialer's number box takes: no telephone number, with its spaces,
// signs and an extension, comes near it. The directory program types no more
// than this into the dialer, however long the cell it dials.

namespace numora::dialer {

inline constexpr int kNumberLength = 40;

} // namespace numora::dialer
