// The console as the dialogue sees it: an input stream, an output stream and
// whether the input is a terminal.
//
// Keys.  On a terminal a key is one byte read without echo and without
// waiting for Enter; the terminal is switched to that mode for the one read
// and switched back right after it (and on every way the program can end).
// From a pipe or a file a key is the next byte that is not a line feed or a
// carriage return, so a prepared script drives the program with one
// character per key and numbers as text.  At the end of the input there is
// no key.
//
// Numbers and words are whitespace-separated tokens, taken across lines
// until the read has all it asks for.  A line (the save prompt's file name)
// is the next line as typed; in a script the line end right after a key
// belongs to that key.  A token that is not a number ends the
// read there: the earlier targets have their values, the rest of that line
// is dropped and a short notice says so.  A line longer than a generous
// limit (16 KiB) ends its read the same way, and the input counts as ended
// from there: input that never ends a line cannot hold the program.
//
// Texts are written as UTF-8 and reach the terminal in its own encoding
// (CP932 under a Shift-JIS locale, UTF-8 otherwise).  What the user typed
// (a file name, an echoed key) is written back byte for byte.
#pragma once

#include <iconv.h>

#include <istream>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace hybridsim {

// Encoding of the console output.
enum class Encoding { utf8, cp932 };

// The encoding for a codeset name as nl_langinfo(CODESET) gives it:
// CP932 for the Shift-JIS family, UTF-8 for everything else.
Encoding encodingForCodeset(const char* codeset);

// Takes the character type from the environment (setlocale(LC_CTYPE, ""))
// and returns the encoding of its codeset.  Numbers are unaffected: they
// are always written and read with the "C" conventions.
Encoding encodingFromEnvironment();

// Switches a terminal into single-key mode for one read.
class KeyMode {
public:
    virtual ~KeyMode() = default;
    virtual void enter() = 0;
    virtual void leave() = 0;
    // Drops what was typed and not read yet.
    virtual void dropTyped() {}
};

// Single-key mode of the terminal on file descriptor `fd` (ICANON and ECHO
// cleared).  The first instance installs handlers that put the terminal back
// at exit and on SIGINT, SIGTERM, SIGHUP, SIGQUIT (then end the program as
// the signal would) and SIGTSTP (then stop; single-key mode is resumed on
// continue).
class TtyKeyMode : public KeyMode {
public:
    explicit TtyKeyMode(int fd);
    ~TtyKeyMode() override;
    TtyKeyMode(const TtyKeyMode&) = delete;
    TtyKeyMode& operator=(const TtyKeyMode&) = delete;
    void enter() override;
    void leave() override;
    void dropTyped() override;  // tcflush(TCIFLUSH)
};

// An input stream buffer over a file descriptor.  Each refill takes what
// one read() returns, so on a terminal it never holds more than the line
// (or the keys) typed so far.
class FdInputBuf : public std::streambuf {
public:
    explicit FdInputBuf(int fd) : fd_(fd) {}

protected:
    int_type underflow() override;

private:
    int fd_;
    char buf_[4096];
};

// UTF-8 in, the console's encoding out.  Bytes that are not UTF-8 pass
// unchanged; characters that CP932 lacks become '?'.
class EncodingBuf : public std::streambuf {
public:
    EncodingBuf(std::ostream& sink, Encoding encoding);
    ~EncodingBuf() override;
    EncodingBuf(const EncodingBuf&) = delete;
    EncodingBuf& operator=(const EncodingBuf&) = delete;
    // Writes out everything held, an unfinished character included.
    void drain();

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    // Converts and writes the held text; a character cut at the end stays
    // unless `all`.
    void convert(bool all);

    std::ostream& sink_;
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
    std::string held_;
};

// The result of a number read.
struct NumberRead {
    std::vector<double> values;  // the numbers read, for the first targets
    bool badToken = false;       // a token did not convert; the read stopped there
    bool endOfInput = false;     // the input ended before the read was complete
};

class Terminal {
public:
    // `interactive`: the input is a terminal.  `keyMode` (may be null) is
    // entered around each key read on a terminal.
    Terminal(std::istream& in, std::ostream& out, bool interactive,
             Encoding encoding = Encoding::utf8, KeyMode* keyMode = nullptr);
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // Program text (UTF-8), converted to the console's encoding.
    std::ostream& out() { return out_; }
    // The user's own bytes (a file name, an echoed key), unchanged.
    void writeRaw(const std::string& bytes);
    // `fmt` with its one "%s" (or "%c") replaced by the user's bytes `raw`.
    void writeWithRaw(const char* fmt, const std::string& raw);
    void flush();

    bool interactive() const { return interactive_; }

    // One key; none at the end of the input (and for Ctrl-D on a terminal).
    // Whatever is left of a line whose numbers were read is dropped first.
    std::optional<char> readKey();
    // The wait after the no-solution message: on a terminal a key is read and
    // ignored; otherwise nothing is consumed.
    void waitKey();
    // Up to `count` numbers ("%lf" each), across lines.
    NumberRead readNumbers(int count);
    // One word of any length; none at the end of the input.
    std::optional<std::string> readWord();
    // One line without its line end and without blanks at either end;
    // empty for an empty line, none at the end of the input (also for a
    // line past the limit).  The rest of the line of a number or word read
    // before is dropped first, as readKey drops it, and in a script the
    // line end that follows a key is passed over.
    std::optional<std::string> readLine();

    // On a terminal, drops everything typed and not read yet -- what is
    // held of a line read before and what waits in the terminal's queue --
    // so that a dialogue that the window starts takes only what is typed
    // once it asks.  Nothing happens on other input.
    void dropTypedAhead();

private:
    enum class Token { none, read, tooLong };
    // Reads one whitespace-separated token: none at the end of the input,
    // tooLong when its line grew past the limit (the input then ends).
    Token readToken(std::string& token);
    // Drops the rest of the current line; returns what it held.
    std::string dropLineRest();
    // The next byte of the input and the next one without taking it; the
    // end of the input also once a line has grown past the limit.
    int nextByte();
    int peekByte();

    std::istream& in_;
    std::ostream& sink_;
    bool interactive_;
    KeyMode* keyMode_;
    EncodingBuf buf_;
    std::ostream out_;
    bool lineOpen_ = false;  // a token was read and its line is not finished
    bool afterScriptKey_ = false;  // the last read took a key from a script
    std::size_t lineBytes_ = 0;  // bytes taken since the last line feed
    bool inputEnded_ = false;    // a line grew past the limit: no more input
};

}  // namespace hybridsim
