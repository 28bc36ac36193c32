#pragma once
// The Windows folder, behind a seam. Linux has none; the real backing reports
// $WINDIR when it is set and not empty, else kDefaultWindowsFolder, always
// without a trailing '/' (unless it is "/" itself).

#include <QString>

#include "platform/core/Seam.h"

namespace numora::win {

inline constexpr char kDefaultWindowsFolder[] = "/usr/share/numora/windows";

class WindowsFolder {
public:
    virtual ~WindowsFolder() = default;
    virtual QString path() const = 0;
};

// Copies the folder (UTF-8) into buffer with a terminating NUL and returns
// its length. When the buffer is too small (or null), nothing is copied and
// the size needed, NUL included, is returned.
unsigned GetWindowsDirectoryA(char* buffer, unsigned size);

// The whole folder, however long: the text a caller gets from
// GetWindowsDirectoryA with a buffer that is large enough.
QString windowsFolder();

// Where the folder comes from: $WINDIR or the default, unless a test installed another.
Seam<WindowsFolder>& windowsFolderSource();

} // namespace numora::win
