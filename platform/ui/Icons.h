#pragma once
// The program's pictures, drawn at run time so they stay crisp at any size:
// the telephone-book icon of the window, the tray and the title image, and the
// pictures of the windows' buttons.

#include <QIcon>

namespace numora::ui {

enum class Picture {
    AppIcon, // a telephone handset over an open book
    Add,     // a green plus
    Edit,    // a pencil
    Search,  // a magnifying glass
    All,     // a bulleted list
    Delete,  // a red cross
    Quit,    // a door with an arrow leaving it
    Update,  // a green tick
    Clear,   // an eraser
    Undo,    // an arrow turning back
};

// The picture at 16, 24, 32 and 48 pixels. Needs a QGuiApplication.
QIcon icon(Picture picture);

} // namespace numora::ui
