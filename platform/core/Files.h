#pragma once
// Whole-file reading and replacing for files the user keeps (the ODBC data
// source file, copies of the directory): a replacement never leaves a file
// half-written, whatever moment the program is stopped at.

#include <memory>
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

// Copies the file existingFile to newFile, as a whole or not at all: the
// bytes go to a new file in newFile's folder, are flushed to disk, and the
// new file is then renamed into place, so that a failure or a kill at any
// moment leaves the target as it was (or absent). With failIfExists a target
// that exists is refused (number EEXIST) and never replaced, even when one
// appears during the copy. A file copied onto itself is left as it is. The
// copy takes the permissions of the file it replaces, else those of the
// source. Throws numora::Error with errno as number and a sentence naming
// the file as description; nothing is changed then.
void CopyFileA(const std::string& existingFile, const std::string& newFile, bool failIfExists);

// A new file beside path for content that another library writes through the
// file's name (the database engine does): hidden, named ".<name>.XXXXXX" in
// path's folder (a symbolic link at path followed) and private until
// putInPlace() flushes it and renames it over path. It then takes the
// permissions of the file it replaces, else those of modeFrom. Dropped
// before that, it is removed. Throws numora::Error as CopyFileA does, with
// failIfExists as CopyFileA takes it.
class FileBeside {
public:
    FileBeside(const std::string& path, const std::string& modeFrom);
    ~FileBeside();
    FileBeside(const FileBeside&) = delete;
    FileBeside& operator=(const FileBeside&) = delete;

    const std::string& name() const;
    void putInPlace(bool failIfExists = false);

private:
    struct Pending;
    std::string path_;
    std::string modeFrom_;
    std::unique_ptr<Pending> pending_;
};

// The points between the steps of a replacement or a copy, told to an observer that
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
