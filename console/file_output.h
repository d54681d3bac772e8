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

namespace hybridsim {

// "cannot write 'PATH': REASON" for an errno value.
std::string cannotWrite(const std::string& path, int error);

// The folder a file path lies in ("." for a bare name).
std::string folderOf(const std::string& path);

// Whether `path` can become an output file: its folder exists and, if it is
// there already (through its links), it is a regular file.  Fills `error`
// with one line when not.
bool outputFileAllowed(const std::string& path, std::string& error);

// Writes `size` bytes as the whole new content of `path`; false with
// `error` set (one line naming the file and the reason) when that fails.
bool writeFileAtomically(const std::string& path, const char* data, std::size_t size,
                         std::string& error);
bool writeFileAtomically(const std::string& path, const std::string& content, std::string& error);

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
