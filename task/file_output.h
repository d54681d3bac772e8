// Output files written whole: through a temporary file beside the target and
// a rename, so that a failure leaves either the whole new file or whatever
// was there before, never half a file.
//
// A target that is a symbolic link is written through the link (the file it
// points to is replaced, the link stays), and a file that is replaced keeps
// its permission bits (and, where the process may set them, its owner).
#pragma once

#include <cstddef>
#include <streambuf>
#include <string>
#include <vector>

namespace hybridsim {

// "cannot write 'PATH': REASON" for an errno value.
std::string cannotWrite(const std::string& path, int error);

// The folder a file path lies in ("." for a bare name).
std::string folderOf(const std::string& path);

// Whether `path` can become an output file: its folder exists and the user
// may make files in it and, if it is there already (through its links), it
// is a regular file the user may write (a rename would replace a file of
// mode 444 all the same: it is refused as the shell would refuse it).
// Fills `error` with one line when not.
bool outputFileAllowed(const std::string& path, std::string& error);

// Writes `size` bytes as the whole new content of `path`; false with
// `error` set (one line naming the file and the reason) when that fails.
bool writeFileAtomically(const std::string& path, const char* data, std::size_t size,
                         std::string& error);
bool writeFileAtomically(const std::string& path, const std::string& content, std::string& error);

// The output files of one command, all or nothing: each is written whole to
// a temporary file beside its target first, and only when every one has
// been written are they renamed into place, in the order added.  What is
// not committed is removed, also when the program is ended by a signal
// (see removeStagedFilesNow).  Renames in one folder do not fail for want
// of room; one that fails all the same stops the commit with its reason.
class StagedFiles {
public:
    StagedFiles() = default;
    ~StagedFiles() { discard(); }
    StagedFiles(const StagedFiles&) = delete;
    StagedFiles& operator=(const StagedFiles&) = delete;

    // Writes the new content of `path` to its temporary file; false with
    // `error` set (one line naming the file and the reason) when that fails.
    bool add(const std::string& path, const char* data, std::size_t size, std::string& error);
    bool add(const std::string& path, const std::string& content, std::string& error);
    // Renames every temporary file onto its target.
    bool commit(std::string& error);
    // Removes every temporary file not yet committed.
    void discard();

private:
    struct Staged {
        std::string path;    // as given, for messages
        std::string target;  // through its links
        std::string tmp;
        int slot;            // in the list removeStagedFilesNow reads
    };
    std::vector<Staged> staged_;
};

// Removes the temporary files of every StagedFiles not committed; safe to
// call in a signal handler (it only unlinks).
void removeStagedFilesNow();

// What a write to a path lands in, to tell two outputs (or an output and
// the task file read, or standard output) apart: the file itself when it
// is there (its device and inode, through its links), and its folder's
// device and inode with its name.
struct FileIdentity {
    bool exists = false;
    unsigned long long dev = 0, ino = 0;
    bool placed = false;  // its folder is there
    unsigned long long folderDev = 0, folderIno = 0;
    std::string name;
};
FileIdentity fileIdentity(const std::string& path);
// The file that descriptor `fd` writes to, when it is a regular file
// (`exists` false otherwise: a terminal, a pipe, /dev/null).
FileIdentity descriptorIdentity(int fd);
bool sameFile(const FileIdentity& a, const FileIdentity& b);

// An output stream buffer over a file descriptor (standard output) that
// remembers why a write failed, so that the program can say so: a full disk,
// /dev/full, a file-size limit.  After a failure it takes nothing more.
class FdOutputBuf : public std::streambuf {
public:
    explicit FdOutputBuf(int fd) : fd_(fd) { setp(buf_, buf_ + sizeof buf_); }
    ~FdOutputBuf() override { sync(); }
    FdOutputBuf(const FdOutputBuf&) = delete;
    FdOutputBuf& operator=(const FdOutputBuf&) = delete;

    // The errno of the first failed write, 0 while none failed.
    int error() const { return error_; }
    // The descriptor written to.
    int fd() const { return fd_; }

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool drain();

    int fd_;
    int error_ = 0;
    char buf_[65536];
};

}  // namespace hybridsim
