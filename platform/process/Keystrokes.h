#pragma once
// Typing text into the window that has the keyboard focus, through the XTEST
// extension, every character as itself: whatever the keyboard map, whatever
// the program's locale.
//
// A character on the current keyboard group is typed with its key (and Shift
// when it is on the shifted level). A character the map lacks (a Hebrew letter
// on a US map) is bound to a spare key code first, before anything is typed,
// and stays bound for a while after: the receiving program reads the changed
// map when it handles the change, which may be after the typing, and a key
// unbound by then would reach it as nothing. The bindings are undone a little
// later, once no typing needs them, and at the program's end.

#include <QString>

typedef struct _XDisplay Display;

namespace numora::process::detail {

// Types the text on the display's focus and returns once the server has
// handed every keystroke on. Control characters are left out (they would act
// as keys). Keeps the program's own windows answering meanwhile. Throws
// numora::Error (5) when the display cannot type (no XTEST), or when the map
// has no spare key code left for a character.
void typeKeystrokes(Display* display, const QString& text);

} // namespace numora::process::detail
