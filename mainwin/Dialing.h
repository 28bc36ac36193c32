#pragma once
// Dialing a card's number: the dialer program is started, its window brought
// to the front, and the number typed into it; the user dials from there.

#include <QString>

namespace numora::controls {
class FlexGrid;
}

namespace numora::dialing {

// The dialer's command line for the Windows folder, which is compared in
// capitals: in "C:\WINDOWS" or "C:\WIN95" the folder as spelt followed by
// "\dialer.exe"; in "C:\WINNT" "C:\Program Files\Windows NT\dialer.exe";
// anywhere else "dialer.exe", found through the search path (on Linux, the
// program's own dialer among its helper programs).
QString dialerCommandLine(const QString& windowsFolder);

// Dials the text of the grid's current row in column col. Only the telephone
// columns 1 to 4 of a card's row are dialed; the name column, the heading row
// and an empty cell give nothing to dial, and nothing happens. A failure on
// the way is shown once, at the end, as the last error's description; the
// number is typed only into the dialer's own window, once it has been
// activated, and only as far as the dialer's box takes it.
void Dial(controls::FlexGrid& grid, int col, const QString& windowsFolder);

} // namespace numora::dialing
