#include "task/file_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
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
    const std::string folder = folderOf(target);
    struct stat st;
    if (stat(folder.c_str(), &st) != 0) {
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
    // the rename would replace a file the user may not write, and needs a
    // folder the user may make files in
    const bool exists = lstat(target.c_str(), &st) == 0;
    if ((exists && access(target.c_str(), W_OK) != 0) || access(folder.c_str(), W_OK | X_OK) != 0) {
        error = cannotWrite(path, errno);
        return false;
    }
    return true;
}

namespace {

// The temporary files not yet committed, where a signal handler can read
// them: fixed storage, each slot free, being filled, or holding a path.
constexpr int stagedSlots = 256;
constexpr std::size_t stagedPathMost = 4096;  // longer paths cannot be opened anyway
enum SlotState { slotFree, slotBusy, slotHeld };
std::atomic<int> slotStates[stagedSlots];
char slotPaths[stagedSlots][stagedPathMost];

int holdSlot(const std::string& tmp)
{
    if (tmp.size() >= stagedPathMost) return -1;
    for (int i = 0; i < stagedSlots; ++i) {
        int expected = slotFree;
        if (!slotStates[i].compare_exchange_strong(expected, slotBusy)) continue;
        std::memcpy(slotPaths[i], tmp.c_str(), tmp.size() + 1);
        slotStates[i].store(slotHeld);
        return i;
    }
    return -1;  // more than the slots hold: such a file is only left on a signal
}

void releaseSlot(int slot)
{
    if (slot < 0) return;
    slotStates[slot].store(slotBusy);
    slotStates[slot].store(slotFree);
}

}  // namespace

void removeStagedFilesNow()
{
    for (int i = 0; i < stagedSlots; ++i)
        if (slotStates[i].load() == slotHeld) ::unlink(slotPaths[i]);
}

bool StagedFiles::add(const std::string& path, const char* data, std::size_t size, std::string& error)
{
    if (!outputFileAllowed(path, error)) return false;
    const std::string target = linkTarget(path);
    const std::string tmp = target + ".tmp." + std::to_string(getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = cannotWrite(path, errno);
        return false;
    }
    const int slot = holdSlot(tmp);
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
    if (!ok) {
        error = cannotWrite(path, problem != 0 ? problem : EIO);
        std::remove(tmp.c_str());
        releaseSlot(slot);
        return false;
    }
    staged_.push_back({path, target, tmp, slot});
    return true;
}

bool StagedFiles::add(const std::string& path, const std::string& content, std::string& error)
{
    return add(path, content.data(), content.size(), error);
}

bool StagedFiles::commit(std::string& error)
{
    for (std::size_t i = 0; i < staged_.size(); ++i) {
        const Staged& f = staged_[i];
        if (std::rename(f.tmp.c_str(), f.target.c_str()) != 0) {
            error = cannotWrite(f.path, errno);
            staged_.erase(staged_.begin(), staged_.begin() + static_cast<std::ptrdiff_t>(i));
            discard();
            return false;
        }
        releaseSlot(f.slot);
    }
    staged_.clear();
    return true;
}

void StagedFiles::discard()
{
    for (const Staged& f : staged_) {
        std::remove(f.tmp.c_str());
        releaseSlot(f.slot);
    }
    staged_.clear();
}

bool writeFileAtomically(const std::string& path, const char* data, std::size_t size,
                         std::string& error)
{
    StagedFiles file;
    return file.add(path, data, size, error) && file.commit(error);
}

bool writeFileAtomically(const std::string& path, const std::string& content, std::string& error)
{
    return writeFileAtomically(path, content.data(), content.size(), error);
}

namespace {

// A path without the slashes at its end ("frames/" is the folder "frames").
std::string withoutEndSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

FileIdentity fileIdentity(const std::string& path)
{
    FileIdentity id;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        id.exists = true;
        id.dev = static_cast<unsigned long long>(st.st_dev);
        id.ino = static_cast<unsigned long long>(st.st_ino);
    }
    const std::string target = withoutEndSlashes(linkTarget(withoutEndSlashes(path)));
    const std::size_t slash = target.find_last_of('/');
    id.name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (stat(folderOf(target).c_str(), &st) == 0 && !id.name.empty()) {
        id.placed = true;
        id.folderDev = static_cast<unsigned long long>(st.st_dev);
        id.folderIno = static_cast<unsigned long long>(st.st_ino);
    }
    return id;
}

FileIdentity descriptorIdentity(int fd)
{
    FileIdentity id;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        id.exists = true;
        id.dev = static_cast<unsigned long long>(st.st_dev);
        id.ino = static_cast<unsigned long long>(st.st_ino);
    }
    return id;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b)
{
    if (a.exists && b.exists && a.dev == b.dev && a.ino == b.ino) return true;
    return a.placed && b.placed && a.folderDev == b.folderDev && a.folderIno == b.folderIno &&
           a.name == b.name;
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
