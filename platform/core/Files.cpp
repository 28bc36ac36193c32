#include "platform/core/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/core/Error.h"

namespace numora::files {
namespace {

void reached(ReplaceStep step) { replaceSteps()->reached(step); }

[[noreturn]] void failWithErrno(int error) { throw Error(error, std::strerror(error)); }

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
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

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

void replaceWhole(const std::string& path, std::string_view content)
{
    const std::string target = finalTarget(path);
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);

    mode_t mode = S_IRUSR | S_IWUSR;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
        // A file its owner made read-only stays as it is, though the folder
        // would allow replacing it.
        if (::access(target.c_str(), W_OK) != 0)
            failWithErrno(errno);
    }

    std::string temp = folder + "." + name + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        failWithErrno(errno);
    PendingFile pending(fd, temp);
    reached(ReplaceStep::Created);

    writeAll(pending.fd(), content);
    reached(ReplaceStep::Written);
    if (::fchmod(pending.fd(), mode) != 0 || ::fsync(pending.fd()) != 0)
        failWithErrno(errno);
    pending.closeNow();
    reached(ReplaceStep::Synced);

    if (::rename(pending.path().c_str(), target.c_str()) != 0)
        failWithErrno(errno);
    pending.renamed();
    reached(ReplaceStep::Renamed);

    // The rename itself reaches the disk with the folder.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

Seam<ReplaceSteps>& replaceSteps()
{
    static ReplaceSteps none;
    static Seam<ReplaceSteps> seam(none);
    return seam;
}

} // namespace numora::files
