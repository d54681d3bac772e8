#include "console/terminal.h"

#include <langinfo.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdlib>

#include "task/messages.h"
#include "task/text_format.h"

namespace hybridsim {

// --- encoding ---

Encoding encodingForCodeset(const char* codeset)
{
    if (!codeset) return Encoding::utf8;
    // compare without case, '-' and '_': "Shift_JIS", "SHIFT-JIS", "sjis", ...
    std::string name;
    for (const char* p = codeset; *p; ++p) {
        if (*p == '-' || *p == '_') continue;
        name.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(*p))));
    }
    static const char* const shiftJis[] = {"SHIFTJIS", "SJIS",  "CP932",         "WINDOWS31J",
                                           "MSKANJI",  "MS932", "IBM932",        "IBM943",
                                           "CSSHIFTJIS", "SHIFTJISX0213"};
    for (const char* s : shiftJis) {
        if (name == s) return Encoding::cp932;
    }
    return Encoding::utf8;
}

Encoding encodingFromEnvironment()
{
    if (!std::setlocale(LC_CTYPE, "")) return Encoding::utf8;
    return encodingForCodeset(nl_langinfo(CODESET));
}

// --- single-key mode and its restoration ---

namespace {

// The terminal whose settings are changed, its settings before the change
// and whether single-key mode is on: read by the signal handlers.
int ttyFd = -1;
struct termios ttySaved;
struct termios ttyKeys;
volatile sig_atomic_t keyModeOn = 0;
bool handlersInstalled = false;

// Signals that end the program; SIGTSTP is handled apart.
const int endingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void restoreTerminal()
{
    if (keyModeOn) {
        tcsetattr(ttyFd, TCSANOW, &ttySaved);
        keyModeOn = 0;
    }
}

// Lets the signal do what it does by default, from inside its handler.
void raiseByDefault(int sig)
{
    signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
}

// Puts the terminal back, then ends the program as the signal would.
void onEndingSignal(int sig)
{
    restoreTerminal();
    raiseByDefault(sig);
}

void onStopSignal(int sig)
{
    const int savedErrno = errno;
    const bool wasOn = keyModeOn != 0;
    restoreTerminal();
    // stop with the terminal as the user had it
    raiseByDefault(sig);
    // continued: back to single-key mode for the read that is waiting
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(sig, &sa, nullptr);
    if (wasOn) {
        tcsetattr(ttyFd, TCSANOW, &ttyKeys);
        keyModeOn = 1;
    }
    errno = savedErrno;
}

// Installs a handler unless the signal is ignored (nohup, background jobs).
void installHandler(int sig, void (*handler)(int))
{
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) return;
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    for (int s : endingSignals) sigaddset(&sa.sa_mask, s);
    sa.sa_flags = SA_RESTART;
    sigaction(sig, &sa, nullptr);
}

void installHandlers()
{
    if (handlersInstalled) return;
    handlersInstalled = true;
    std::atexit(restoreTerminal);
    for (int s : endingSignals) installHandler(s, onEndingSignal);
    installHandler(SIGTSTP, onStopSignal);
}

// Blocks the handled signals while the settings and the flag change together.
class SignalBlock {
public:
    SignalBlock()
    {
        sigset_t set;
        sigemptyset(&set);
        for (int s : endingSignals) sigaddset(&set, s);
        sigaddset(&set, SIGTSTP);
        sigprocmask(SIG_BLOCK, &set, &old_);
    }
    ~SignalBlock() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
    SignalBlock(const SignalBlock&) = delete;
    SignalBlock& operator=(const SignalBlock&) = delete;

private:
    sigset_t old_;
};

}  // namespace

TtyKeyMode::TtyKeyMode(int fd)
{
    ttyFd = fd;
    installHandlers();
}

TtyKeyMode::~TtyKeyMode()
{
    leave();
}

void TtyKeyMode::enter()
{
    SignalBlock block;
    if (keyModeOn) return;
    struct termios now;
    if (tcgetattr(ttyFd, &now) != 0) return;
    ttySaved = now;
    ttyKeys = now;
    ttyKeys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    ttyKeys.c_cc[VMIN] = 1;
    ttyKeys.c_cc[VTIME] = 0;
    // TCSANOW: keys typed ahead stay in the queue
    if (tcsetattr(ttyFd, TCSANOW, &ttyKeys) == 0) keyModeOn = 1;
}

void TtyKeyMode::leave()
{
    SignalBlock block;
    restoreTerminal();
}

void TtyKeyMode::dropTyped()
{
    tcflush(ttyFd, TCIFLUSH);
}

// --- input from a file descriptor ---

FdInputBuf::int_type FdInputBuf::underflow()
{
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    ssize_t n;
    do {
        n = ::read(fd_, buf_, sizeof buf_);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return traits_type::eof();
    setg(buf_, buf_, buf_ + n);
    return traits_type::to_int_type(*gptr());
}

// --- output in the console's encoding ---

namespace {

// Length of the well-formed UTF-8 sequence at p (0 when it is not one).
size_t utf8Length(const unsigned char* p, size_t n)
{
    if (n == 0) return 0;
    const unsigned char c = p[0];
    if (c < 0x80) return 1;
    size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) lo = 0xA0;
        if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (n < len || p[1] < lo || p[1] > hi) return 0;
    for (size_t i = 2; i < len; ++i) {
        if (p[i] < 0x80 || p[i] > 0xBF) return 0;
    }
    return len;
}

// Held text beyond which it is converted without waiting for a flush.
constexpr size_t holdLimit = 4096;

const iconv_t noConversion = reinterpret_cast<iconv_t>(-1);

}  // namespace

EncodingBuf::EncodingBuf(std::ostream& sink, Encoding encoding) : sink_(sink)
{
    // without the converter the text goes out as UTF-8
    if (encoding == Encoding::cp932) cd_ = iconv_open("CP932", "UTF-8");
}

EncodingBuf::~EncodingBuf()
{
    drain();
    if (cd_ != noConversion) iconv_close(cd_);
}

void EncodingBuf::drain()
{
    convert(true);
    sink_.flush();
}

EncodingBuf::int_type EncodingBuf::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    held_.push_back(traits_type::to_char_type(c));
    if (held_.size() >= holdLimit) convert(false);
    return c;
}

std::streamsize EncodingBuf::xsputn(const char* s, std::streamsize n)
{
    held_.append(s, static_cast<size_t>(n));
    if (held_.size() >= holdLimit) convert(false);
    return n;
}

int EncodingBuf::sync()
{
    convert(false);
    sink_.flush();
    return 0;
}

void EncodingBuf::convert(bool all)
{
    if (held_.empty()) return;
    if (cd_ == noConversion) {
        sink_.write(held_.data(), static_cast<std::streamsize>(held_.size()));
        held_.clear();
        return;
    }
    char* in = &held_[0];
    size_t inLeft = held_.size();
    char out[1024];
    while (inLeft > 0) {
        char* o = out;
        size_t outLeft = sizeof out;
        const size_t r = iconv(cd_, &in, &inLeft, &o, &outLeft);
        sink_.write(out, o - out);
        if (r != static_cast<size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        if (errno == EINVAL && !all) break;  // a character cut at the end: wait for the rest
        const auto* p = reinterpret_cast<const unsigned char*>(in);
        const size_t len = errno == EILSEQ ? utf8Length(p, inLeft) : 0;
        if (len > 0) {
            sink_.put('?');  // a character that CP932 does not have
        } else {
            sink_.put(*in);  // not UTF-8: the byte as it is
        }
        const size_t skip = len > 0 ? len : 1;
        in += skip;
        inLeft -= skip;
    }
    held_.erase(0, held_.size() - inLeft);
}

// --- the console ---

namespace {

bool isBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Ctrl-D: on a terminal in single-key mode it arrives as a byte.
constexpr int endOfTransmission = 0x04;

// Bytes a line of input may hold.  A longer line ends the read it is in as
// a token that is not a number would, and the input counts as ended there:
// an input that never ends a line (/dev/zero) cannot hold the program, and
// what is kept of it stays bounded.  Four times what a terminal itself lets
// a user type on one line.
constexpr size_t lineLimit = 16 * 1024;

// What a notice shows of the user's input: at most this many bytes.
constexpr size_t shownLimit = 60;

// The user's input shortened for a notice, not cutting a UTF-8 character.
std::string shown(const std::string& text)
{
    if (text.size() <= shownLimit) return text;
    size_t cut = shownLimit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut) + "...";
}

std::string trimmed(const std::string& text)
{
    size_t b = 0, e = text.size();
    while (b < e && isBlank(static_cast<unsigned char>(text[b]))) ++b;
    while (e > b && isBlank(static_cast<unsigned char>(text[e - 1]))) --e;
    return text.substr(b, e - b);
}

}  // namespace

Terminal::Terminal(std::istream& in, std::ostream& out, bool interactive, Encoding encoding,
                   KeyMode* keyMode)
    : in_(in), sink_(out), interactive_(interactive), keyMode_(keyMode), buf_(out, encoding),
      out_(&buf_)
{
}

Terminal::~Terminal()
{
    out_.flush();
    buf_.drain();
}

void Terminal::writeRaw(const std::string& bytes)
{
    out_.flush();
    buf_.drain();
    sink_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void Terminal::writeWithRaw(const char* fmt, const std::string& raw)
{
    const std::string text = fmt;
    size_t at = text.find("%s");
    if (at == std::string::npos) at = text.find("%c");
    if (at == std::string::npos) {
        out_ << text;
        return;
    }
    out_ << text.substr(0, at);
    writeRaw(raw);
    out_ << text.substr(at + 2);
}

void Terminal::flush()
{
    out_.flush();
    sink_.flush();
}

int Terminal::nextByte()
{
    const int eof = std::char_traits<char>::eof();
    if (inputEnded_) return eof;
    const int c = in_.get();
    if (c == eof) {
        in_.clear();
        return eof;
    }
    if (c == '\n') {
        lineBytes_ = 0;
    } else if (++lineBytes_ > lineLimit) {
        inputEnded_ = true;
        return eof;
    }
    return c;
}

int Terminal::peekByte()
{
    const int eof = std::char_traits<char>::eof();
    if (inputEnded_) return eof;
    const int c = in_.peek();
    if (c == eof) in_.clear();
    return c;
}

std::string Terminal::dropLineRest()
{
    std::string rest;
    if (!lineOpen_) return rest;
    lineOpen_ = false;
    for (;;) {
        // on a terminal only what was typed already: never wait for more
        if (interactive_ && in_.rdbuf()->in_avail() <= 0) break;
        const int c = nextByte();
        if (c == std::char_traits<char>::eof() || c == '\n') break;
        rest.push_back(static_cast<char>(c));
    }
    return rest;
}

std::optional<char> Terminal::readKey()
{
    afterScriptKey_ = false;
    const std::string rest = trimmed(dropLineRest());
    if (!rest.empty()) writeWithRaw(msg::extraInputIgnored, shown(rest));
    flush();
    const int eof = std::char_traits<char>::eof();
    if (inputEnded_) return std::nullopt;
    if (interactive_) {
        int c;
        if (keyMode_ && in_.rdbuf()->in_avail() <= 0) {
            keyMode_->enter();
            c = in_.get();
            keyMode_->leave();
        } else {
            c = in_.get();  // a key typed ahead
        }
        if (c == eof) {
            in_.clear();
            return std::nullopt;
        }
        if (c == endOfTransmission) return std::nullopt;
        return static_cast<char>(c);
    }
    for (;;) {
        const int c = nextByte();
        if (c == eof) return std::nullopt;
        if (c != '\n' && c != '\r') {
            afterScriptKey_ = true;
            return static_cast<char>(c);
        }
    }
}

void Terminal::waitKey()
{
    if (interactive_) readKey();
}

Terminal::Token Terminal::readToken(std::string& token)
{
    afterScriptKey_ = false;
    const int eof = std::char_traits<char>::eof();
    int c;
    while ((c = peekByte()) != eof && isBlank(c)) nextByte();
    if (c == eof) return Token::none;
    token.clear();
    while ((c = peekByte()) != eof && !isBlank(c)) {
        if (nextByte() == eof) break;  // the line grew past its limit
        token.push_back(static_cast<char>(c));
    }
    lineOpen_ = true;
    return inputEnded_ ? Token::tooLong : Token::read;
}

NumberRead Terminal::readNumbers(int count)
{
    flush();
    NumberRead r;
    for (int i = 0; i < count; ++i) {
        std::string token;
        const Token got = readToken(token);
        if (got == Token::none) {
            r.endOfInput = true;
            break;
        }
        double v = 0.0;
        if (got == Token::tooLong || !parseDouble(token, v)) {
            r.badToken = true;
            dropLineRest();
            writeWithRaw(msg::notANumber, shown(token));
            break;
        }
        r.values.push_back(v);
    }
    return r;
}

std::optional<std::string> Terminal::readWord()
{
    flush();
    std::string word;
    if (readToken(word) != Token::read) return std::nullopt;
    return word;
}

std::optional<std::string> Terminal::readLine()
{
    const std::string rest = trimmed(dropLineRest());
    if (!rest.empty()) writeWithRaw(msg::extraInputIgnored, shown(rest));
    flush();
    const int eof = std::char_traits<char>::eof();
    // a script's key stands on a line of its own: "n\nname\n"
    if (afterScriptKey_) {
        afterScriptKey_ = false;
        if (peekByte() == '\r') nextByte();
        if (peekByte() == '\n') nextByte();
    }
    std::string line;
    int c = nextByte();
    if (c == eof) return std::nullopt;
    for (; c != eof && c != '\n'; c = nextByte()) line.push_back(static_cast<char>(c));
    if (inputEnded_) return std::nullopt;  // the line grew past its limit
    return trimmed(line);
}

void Terminal::dropTypedAhead()
{
    if (!interactive_) return;
    afterScriptKey_ = false;
    lineOpen_ = false;
    lineBytes_ = 0;
    // byte by byte: istream::ignore would wait for one more
    std::streambuf* held = in_.rdbuf();
    for (std::streamsize n = held->in_avail(); n > 0; --n) held->sbumpc();
    if (keyMode_) keyMode_->dropTyped();
}

}  // namespace hybridsim
