#pragma once
// State shared by the program's windows for the whole run, by the names the
// main window knows it by: the directory state below the windows
// (state/DirectoryState.h), reached through Module1() as the windows are
// reached through their one program-wide instances.

#include "state/DirectoryState.h"

namespace numora {

using Module1State = DirectoryState;

// The program-wide instance.
inline Module1State& Module1() { return directoryState(); }

// Back to the state before start-up (tests start every run from here).
inline void resetModule1() { directoryState().reset(); }

} // namespace numora
