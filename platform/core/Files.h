#pragma once
// Whole-file reading and replacing for files the user keeps (the ODBC data
// source file, copies of the directory): a replacement never leaves a file
// half-written, whatever moment the program is stopped at.

#include <optional>
#include <string>
#include <string_view>

#include "platform/core/Seam.h"

namespace numora::files {

// The whole file, byte for byte; nullopt when there is no such file. Any other
// failure throws numora::Error with errno as number and the reason as text.
std::optional<std::string> readWhole(const std::string& path);

// Replaces the file at path (or creates it) with content: the content goes to
// a new file in the same folder, is flushed to disk, and is then renamed over
// the old one, so a crash or kill at any moment leaves either the old file or
// the new one, complete. A path that is a symbolic link has its target
// replaced, and a replaced file keeps its permissions (a new one is private
// to the user); a file the user may not write is refused. Throws
// numora::Error with errno as number and the reason as text; nothing is
// changed then.
void replaceWhole(const std::string& path, std::string_view content);

// The points between the steps of a replacement, told to an observer that
// does nothing, unless a test that stops the program at each of them has
// installed its own.
enum class ReplaceStep { Created, HalfWritten, Written, Synced, Renamed };
class ReplaceSteps {
public:
    virtual ~ReplaceSteps() = default;
    virtual void reached(ReplaceStep) {}
};
Seam<ReplaceSteps>& replaceSteps();

} // namespace numora::files
