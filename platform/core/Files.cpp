#include "platform/core/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/core/Error.h"

namespace numora::files {
namespace {

void reached(ReplaceStep step) { replaceSteps()->reached(step); }

[[noreturn]] void failWithErrno(int error) { throw Error(error, std::strerror(error)); }

[[noreturn]] void failOnFile(int error, const std::string& what, const std::string& path)
{
    throw Error(error, "The file " + path + " could not be " + what + ": " + std::strerror(error) + ".");
}

// Closes a descriptor and removes the unfinished file behind it, unless the
// replacement got as far as renaming it.
class PendingFile {
public:
    PendingFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PendingFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    PendingFile(PendingFile&& other) noexcept
        : fd_(std::exchange(other.fd_, -1)), path_(std::exchange(other.path_, std::string()))
    {
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    PendingFile& operator=(PendingFile&&) = delete;

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    void closeNow()
    {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0)
            failWithErrno(errno);
    }
    void renamed() { path_.clear(); }

private:
    int fd_;
    std::string path_;
};

void writeSpan(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            failWithErrno(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void writeAll(int fd, std::string_view content)
{
    const std::size_t half = content.size() / 2;
    writeSpan(fd, content.substr(0, half));
    reached(ReplaceStep::HalfWritten);
    writeSpan(fd, content.substr(half));
}

// The file a path finally names: a symbolic link is followed, so that the
// link stays a link and its target gets the new content.
std::string finalTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            std::string out(resolved);
            std::free(resolved);
            return out;
        }
    }
    return path;
}

} // namespace

std::optional<std::string> readWhole(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        failWithErrno(errno);
    }
    std::string out;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            failWithErrno(error);
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return out;
}

namespace {

struct Target {
    std::string path;   // the file finally replaced (a symbolic link followed)
    std::string folder; // its folder, ending in '/'
    std::string name;
};

Target targetOf(const std::string& path)
{
    Target t;
    t.path = finalTarget(path);
    const auto slash = t.path.rfind('/');
    t.folder = slash == std::string::npos ? std::string("./") : t.path.substr(0, slash + 1);
    t.name = slash == std::string::npos ? t.path : t.path.substr(slash + 1);
    return t;
}

// A new, private file in the target's folder, to be renamed over it.
PendingFile createBeside(const Target& target)
{
    std::string temp = target.folder + "." + target.name + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        failWithErrno(errno);
    return PendingFile(fd, temp);
}

// Gives the written file its mode, flushes it, and renames it into place;
// with noReplace an existing target is refused (EEXIST) and left alone.
void commit(PendingFile& pending, const Target& target, mode_t mode, bool noReplace)
{
    reached(ReplaceStep::Written);
    if (::fchmod(pending.fd(), mode) != 0 || ::fsync(pending.fd()) != 0)
        failWithErrno(errno);
    pending.closeNow();
    reached(ReplaceStep::Synced);

    if (noReplace) {
        if (::renameat2(AT_FDCWD, pending.path().c_str(), AT_FDCWD, target.path.c_str(), RENAME_NOREPLACE) != 0) {
            if (errno != EINVAL && errno != ENOSYS)
                failWithErrno(errno);
            // A file system without that kind of rename: a hard link is
            // refused as well when the name is taken.
            if (::link(pending.path().c_str(), target.path.c_str()) != 0)
                failWithErrno(errno);
            ::unlink(pending.path().c_str());
        }
    } else if (::rename(pending.path().c_str(), target.path.c_str()) != 0) {
        failWithErrno(errno);
    }
    pending.renamed();
    reached(ReplaceStep::Renamed);

    // The rename itself reaches the disk with the folder.
    const int dir = ::open(target.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// The mode a replaced file keeps; fallback for a new one. A file its owner
// made read-only stays as it is, though the folder would allow replacing it.
mode_t modeForReplacing(const Target& target, mode_t fallback)
{
    struct stat st {};
    if (::stat(target.path.c_str(), &st) != 0)
        return fallback;
    if (::access(target.path.c_str(), W_OK) != 0)
        failWithErrno(errno);
    return st.st_mode & 07777;
}

class InputFile {
public:
    explicit InputFile(int fd) : fd_(fd) {}
    ~InputFile() { ::close(fd_); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

} // namespace

void replaceWhole(const std::string& path, std::string_view content)
{
    const Target target = targetOf(path);
    const mode_t mode = modeForReplacing(target, S_IRUSR | S_IWUSR);
    PendingFile pending = createBeside(target);
    reached(ReplaceStep::Created);
    writeAll(pending.fd(), content);
    commit(pending, target, mode, false);
}

void CopyFileA(const std::string& existingFile, const std::string& newFile, bool failIfExists)
{
    const int fd = ::open(existingFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        failOnFile(errno, "read", existingFile);
    InputFile in(fd);
    struct stat source {};
    if (::fstat(in.fd(), &source) != 0)
        failOnFile(errno, "read", existingFile);
    if (!S_ISREG(source.st_mode))
        failOnFile(S_ISDIR(source.st_mode) ? EISDIR : EINVAL, "read", existingFile);

    const Target target = targetOf(newFile);
    struct stat existing {};
    if (::stat(target.path.c_str(), &existing) == 0) {
        if (failIfExists)
            throw Error(EEXIST, "The file " + newFile + " already exists.");
        // Replacing a file with itself: what it holds already is the copy.
        if (existing.st_dev == source.st_dev && existing.st_ino == source.st_ino)
            return;
    }
    try {
        const mode_t mode = modeForReplacing(target, source.st_mode & 07777);
        PendingFile pending = createBeside(target);
        reached(ReplaceStep::Created);
        char buffer[65536];
        off_t copied = 0;
        bool halfReported = false;
        for (;;) {
            const ssize_t n = ::read(in.fd(), buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                failOnFile(errno, "read", existingFile);
            if (n == 0)
                break;
            writeSpan(pending.fd(), std::string_view(buffer, static_cast<std::size_t>(n)));
            copied += n;
            if (!halfReported && copied >= source.st_size / 2) {
                halfReported = true;
                reached(ReplaceStep::HalfWritten);
            }
        }
        commit(pending, target, mode, failIfExists);
    } catch (const Error& e) {
        if (e.number() == EEXIST)
            throw Error(EEXIST, "The file " + newFile + " already exists.");
        if (e.description().rfind("The file ", 0) == 0)
            throw;
        throw Error(e.number(), "The file " + newFile + " could not be written: " + e.description() + ".");
    }
}

struct FileBeside::Pending {
    Target target;
    PendingFile file;
};

FileBeside::FileBeside(const std::string& path, const std::string& modeFrom) : path_(path), modeFrom_(modeFrom)
{
    try {
        Target target = targetOf(path);
        pending_ = std::make_unique<Pending>(Pending{target, createBeside(target)});
    } catch (const Error& e) {
        throw Error(e.number(), "The file " + path + " could not be written: " + e.description() + ".");
    }
    reached(ReplaceStep::Created);
}

FileBeside::~FileBeside() = default;

const std::string& FileBeside::name() const { return pending_->file.path(); }

void FileBeside::putInPlace(bool failIfExists)
{
    try {
        struct stat from {};
        const mode_t fallback = ::stat(modeFrom_.c_str(), &from) == 0 ? (from.st_mode & 07777) : (S_IRUSR | S_IWUSR);
        commit(pending_->file, pending_->target, modeForReplacing(pending_->target, fallback), failIfExists);
    } catch (const Error& e) {
        if (failIfExists && e.number() == EEXIST)
            throw Error(EEXIST, "The file " + path_ + " already exists.");
        if (e.description().rfind("The file ", 0) == 0)
            throw;
        throw Error(e.number(), "The file " + path_ + " could not be written: " + e.description() + ".");
    }
}

Seam<ReplaceSteps>& replaceSteps()
{
    static ReplaceSteps none;
    static Seam<ReplaceSteps> seam(none);
    return seam;
}

} // namespace numora::files
