#include "console/file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace hybridsim {
namespace {

// Links followed before a path counts as a loop (the system's own limit).
constexpr int maxLinks = 40;

// The file a write to `path` lands in: `path` itself, or the file its chain
// of symbolic links points to, which need not exist yet.  A chain longer
// than maxLinks is left as it is: opening it then fails with its reason.
std::string linkTarget(const std::string& path)
{
    std::string p = path;
    std::vector<char> buf(4096);
    for (int i = 0; i < maxLinks; ++i) {
        struct stat st;
        if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
        const ssize_t n = readlink(p.c_str(), buf.data(), buf.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return p;
        const std::string target(buf.data(), static_cast<std::size_t>(n));
        p = target[0] == '/' ? target : folderOf(p) + "/" + target;
    }
    return p;
}

// Writes all of `data` to `fd`; errno tells why not.
bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string cannotWrite(const std::string& path, int error)
{
    return "cannot write '" + path + "': " + std::strerror(error);
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool outputFileAllowed(const std::string& path, std::string& error)
{
    const std::string target = linkTarget(path);
    struct stat st;
    if (stat(folderOf(target).c_str(), &st) != 0) {
        error = cannotWrite(path, errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = cannotWrite(path, ENOTDIR);
        return false;
    }
    // a rename would replace a folder, a device or a pipe
    if (stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        error = "cannot write '" + path + "': " +
                (S_ISDIR(st.st_mode) ? "it is a folder" : "it exists and is not a regular file");
        return false;
    }
    if (lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        error = cannotWrite(path, ELOOP);
        return false;
    }
    return true;
}

bool writeFileAtomically(const std::string& path, const char* data, std::size_t size,
                         std::string& error)
{
    if (!outputFileAllowed(path, error)) return false;
    const std::string target = linkTarget(path);
    const std::string tmp = target + ".tmp." + std::to_string(getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = cannotWrite(path, errno);
        return false;
    }
    // a file that is replaced keeps its permissions and, if allowed, its owner
    struct stat old;
    if (stat(target.c_str(), &old) == 0) {
        if (fchown(fd, old.st_uid, old.st_gid) != 0) {
            // not the owner's to give away: the new file is the writer's own
        }
        fchmod(fd, old.st_mode & 07777);
    }
    bool ok = writeAll(fd, data, size);
    int problem = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        problem = errno;
    }
    if (ok && std::rename(tmp.c_str(), target.c_str()) != 0) {
        ok = false;
        problem = errno;
    }
    if (!ok) {
        error = cannotWrite(path, problem != 0 ? problem : EIO);
        std::remove(tmp.c_str());
    }
    return ok;
}

bool writeFileAtomically(const std::string& path, const std::string& content, std::string& error)
{
    return writeFileAtomically(path, content.data(), content.size(), error);
}

bool FdOutputBuf::drain()
{
    const std::size_t n = static_cast<std::size_t>(pptr() - pbase());
    setp(buf_, buf_ + sizeof buf_);
    if (error_ != 0) return false;
    if (!writeAll(fd_, buf_, n)) {
        error_ = errno != 0 ? errno : EIO;
        return false;
    }
    return true;
}

FdOutputBuf::int_type FdOutputBuf::overflow(int_type c)
{
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) sputc(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
}

int FdOutputBuf::sync()
{
    return drain() ? 0 : -1;
}

}  // namespace hybridsim
