#include "task/task_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "sim/derivation.h"
#include "sim/gain_design.h"
#include "task/task_setting.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

// A token longer than this cannot be a number or a selector.  A token source
// hands out at most one character more, so that such a token is seen as too
// long (and refused) rather than split, and reading stops there: /dev/zero
// is refused at once.
constexpr size_t maxTokenLength = 256;
constexpr size_t keptTokenLength = maxTokenLength + 1;

// The UTF-8 byte-order mark some editors put at the start of a text file.
constexpr char byteOrderMark[] = "\xEF\xBB\xBF";

bool isBlank(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads the tokens of a file one at a time.
class TokenSource {
public:
    virtual ~TokenSource() = default;
    // false at the end of the input
    virtual bool next(std::string& token) = 0;
};

class TextTokens : public TokenSource {
public:
    explicit TextTokens(const std::string& text) : text_(text)
    {
        // the file is read as if the mark were absent
        if (text_.compare(0, 3, byteOrderMark) == 0) pos_ = 3;
    }
    bool next(std::string& token) override
    {
        while (pos_ < text_.size() && isBlank(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        if (pos_ >= text_.size()) return false;
        const size_t start = pos_;
        while (pos_ < text_.size() && !isBlank(static_cast<unsigned char>(text_[pos_])) &&
               pos_ - start < keptTokenLength)
            ++pos_;
        token = text_.substr(start, pos_ - start);
        // a token too long to be kept ends the reading: nothing of it is left
        if (token.size() >= keptTokenLength) pos_ = text_.size();
        return true;
    }

private:
    const std::string& text_;
    size_t pos_ = 0;
};

class FileTokens : public TokenSource {
public:
    explicit FileTokens(std::FILE* f) : f_(f)
    {
        // the file is read as if a byte-order mark at its start were absent;
        // a start that only looks like one is read as it is
        const auto* mark = reinterpret_cast<const unsigned char*>(byteOrderMark);
        while (held_ < 3) {
            const int c = std::getc(f_);
            if (c == EOF) break;
            start_[held_++] = c;
            if (c != mark[held_ - 1]) break;
        }
        if (held_ == 3 && start_[2] == mark[2]) held_ = 0;
    }
    bool next(std::string& token) override
    {
        if (ended_) return false;
        int c = get();
        while (c != EOF && isBlank(c)) c = get();
        if (c == EOF) return false;
        token.clear();
        while (c != EOF && !isBlank(c)) {
            token.push_back(static_cast<char>(c));
            // too long to be kept: the reading ends here, nothing is split off
            if (token.size() >= keptTokenLength) {
                ended_ = true;
                return true;
            }
            c = get();
        }
        return true;
    }

private:
    // the next byte: first what the start held back, then the file's
    int get() { return next_ < held_ ? start_[next_++] : std::getc(f_); }

    std::FILE* f_;
    int start_[3] = {EOF, EOF, EOF};
    int held_ = 0;  // bytes of the start read while looking for the mark
    int next_ = 0;
    bool ended_ = false;
};

// Shows a token in a message: printable ASCII as it is, other bytes escaped,
// long tokens cut short.
std::string quoteToken(const std::string& token)
{
    std::string out;
    for (unsigned char c : token) {
        if (out.size() > 40) {
            out += "...";
            break;
        }
        if (c >= 0x20 && c < 0x7f) {
            out.push_back(static_cast<char>(c));
        } else {
            out += format("\\x%02x", c);
        }
    }
    return "'" + out + "'";
}

// The reader: takes the tokens in their order and checks each one.
class Reader {
public:
    Reader(TokenSource& src, const std::string& name) : src_(src), name_(name) {}

    // A one-character selector out of `choices` (for example "ab"), named
    // in messages as `what` (choices in brackets) and `choiceText` ("a or b").
    bool selector(const char* what, const char* choices, const char* choiceText, char& out)
    {
        const std::string named = std::string(what) + " (" + choiceText + ")";
        std::string tok;
        if (!take(named.c_str(), tok)) return false;
        if (tok.size() != 1) {
            return fail(format("token %d %s: expected one character for %s", index_,
                               quoteToken(tok).c_str(), named.c_str()));
        }
        if (tok[0] == '\0' || std::strchr(choices, tok[0]) == nullptr) {
            return fail(format("token %d %s: %s must be %s", index_, quoteToken(tok).c_str(),
                               what, choiceText));
        }
        out = tok[0];
        return true;
    }

    // A finite number.
    bool number(const char* what, double& out)
    {
        std::string tok;
        if (!take(what, tok)) return false;
        double v = 0.0;
        if (tok.size() > maxTokenLength || !parseDouble(tok, v)) {
            return fail(format("token %d %s: expected a number for %s", index_,
                               quoteToken(tok).c_str(), what));
        }
        if (!std::isfinite(v)) {
            return fail(format("token %d %s: %s must be a finite number", index_,
                               quoteToken(tok).c_str(), what));
        }
        out = v;
        last_ = tok;
        return true;
    }

    // A finite number greater than zero.
    bool positive(const char* what, double& out)
    {
        if (!number(what, out)) return false;
        if (!(out > 0.0)) {
            return fail(format("token %d %s: %s must be greater than 0", index_,
                               quoteToken(last_).c_str(), what));
        }
        return true;
    }

    // The next token when there is one, counted as the others (false at the
    // end of the input, which is no fault here).
    bool optional(std::string& tok)
    {
        if (!src_.next(tok)) return false;
        ++index_;
        last_ = tok;
        return true;
    }

    // The value of the tail field f, by its rule, stored in c.
    bool tailValue(const TaskField& f, SimSettings& c)
    {
        std::string tok;
        if (!take(f.named().c_str(), tok)) return false;
        if (f.rule == FieldRule::word) {
            const int index = f.wordIndex(tok);
            if (index < 0)
                return fail(format("token %d %s: %s must be %s", index_, quoteToken(tok).c_str(), f.what,
                                   f.choiceText));
            f.set(c, index);
            return true;
        }
        double v = 0.0;
        if (tok.size() > maxTokenLength || !parseDouble(tok, v))
            return fail(format("token %d %s: expected a number for %s", index_, quoteToken(tok).c_str(), f.what));
        const std::string why = numberRefusal(f, v);
        if (!why.empty())
            return fail(format("token %d %s: %s ", index_, quoteToken(tok).c_str(), f.what) + why);
        f.set(c, v);
        last_ = tok;
        return true;
    }

    // A refusal about the tokens read so far.
    bool refuse(const std::string& why) { return fail(format("token %d: ", index_) + why); }
    // A refusal of the last number read, named as the others are.
    bool refuseToken(const std::string& why)
    {
        return fail(format("token %d %s: ", index_, quoteToken(last_).c_str()) + why);
    }

    // A refusal worded whole, "token N: why" (an earlier token's).
    bool refuseAs(const std::string& why) { return fail(why); }
    // The tokens read so far.
    int tokens() const { return index_; }

    const std::string& error() const { return error_; }

private:
    bool take(const char* what, std::string& tok)
    {
        if (!src_.next(tok)) {
            return fail(format("the file ends after %d tokens; expected %s as token %d", index_,
                               what, index_ + 1));
        }
        ++index_;
        return true;
    }

    bool fail(const std::string& why)
    {
        error_ = name_ + ": " + why;
        return false;
    }

    TokenSource& src_;
    const std::string& name_;
    std::string error_;
    std::string last_;
    int index_ = 0;
};

// The tail field of that name, or null.
const TaskField* tailField(const std::string& name)
{
    for (const TaskField& f : taskFields())
        if (f.line == tailLine && name == f.name) return &f;
    return nullptr;
}

// The tail's settings as the defaults hold them: a file is the whole task,
// and the tail's settings it does not name take their defaults.
void setTailDefaults(SimSettings& c)
{
    static const SimSettings defaults;
    for (const TaskField& f : taskFields())
        if (f.line == tailLine) f.set(c, f.get(defaults));
}

// The optional tail after the fixed fields: when the next token names one
// of its settings, NAME VALUE pairs to the end of the file, each name once.
// Any other token there ends the reading, as every token after the fixed
// fields did before the tail existed.  A damping ratio must leave its loop a
// velocity gain with the fn and alpha read before it.
void readTail(Reader& r, SimSettings& c)
{
    std::string names;
    for (const TaskField& f : taskFields())
        if (f.line == tailLine) names += (names.empty() ? "" : " ") + std::string(f.name);
    std::string name;
    if (!r.optional(name) || !tailField(name)) return;
    std::string seen = " ";
    do {
        const TaskField* f = tailField(name);
        if (!f) {
            r.refuseToken("expected a setting of the tail (" + names + ") or the end of the file");
            return;
        }
        if (seen.find(" " + name + " ") != std::string::npos) {
            r.refuseToken(name + " is given twice");
            return;
        }
        seen += name + " ";
        if (!r.tailValue(*f, c)) return;
        const std::string why = name == "zeta1"   ? gainRefusal(1, c.zeta1, c.wn1, c.alpha1)
                                : name == "zeta2" ? gainRefusal(2, c.zeta2, c.wn2, c.alpha2)
                                                  : "";
        if (!why.empty() && !r.refuseToken(why)) return;
    } while (r.optional(name));
}

TaskFileResult readTokens(TokenSource& src, const std::string& name, SimSettings& s)
{
    SimSettings c = s;  // the file fills a copy; it replaces s only when complete
    setTailDefaults(c);
    Reader r(src, name);
    TaskFileResult result;
    // a loop whose fn and alpha make Kv zero with the default damping ratio:
    // the refusal, given unless the tail names another ratio (checked there)
    std::string kvZero[2];

    // the fields in the file's order: those of the robot and the contour
    // read so far (the selectors come before the numbers that depend on them)
    for (const TaskField& f : taskFields()) {
        if (!f.belongsTo(c) || f.line == tailLine) continue;
        if (f.rule == FieldRule::selector) {
            char key = 0;
            if (!r.selector(f.what, f.choices, f.choiceText, key)) break;
            f.set(c, static_cast<unsigned char>(key));
            continue;
        }
        double v = 0.0;
        if (!(f.rule == FieldRule::positive ? r.positive(f.what, v) : r.number(f.what, v))) break;
        f.set(c, v);
        // as held, the value must still meet its rule (l2 + wp can round to 0)
        const std::string held = heldRefusal(f, c);
        if (!held.empty() && !r.refuseToken(std::string(f.what) + " " + held)) break;
        // a control system is whole with its alpha: fn and alpha together
        // must leave it a velocity gain
        const std::string field = f.name;
        if (field == "alpha1" || field == "alpha2") {
            const bool one = field == "alpha1";
            const std::string why =
                one ? gainRefusal(1, c.zeta1, c.wn1, c.alpha1) : gainRefusal(2, c.zeta2, c.wn2, c.alpha2);
            // an overflow is refused at once; a zero Kv once the tail is read
            if (!std::isfinite(one ? c.wn1 : c.wn2)) {
                if (!why.empty() && !r.refuse(why)) break;
            } else if (!why.empty()) {
                kvZero[one ? 0 : 1] = format("token %d: ", r.tokens()) + why;
            }
            // both systems read: the method in force keeps them
            if (!one) storeControlValues(c);
        }
        // the circle's and the sine's start and end points follow at once
        if (field == "tf" && (c.curve == 'C' || c.curve == 'S')) deriveContourEnds(c);
    }
    if (r.error().empty()) readTail(r, c);
    for (int k = 0; k < 2 && r.error().empty(); ++k) {
        const std::string why = k == 0 ? gainRefusal(1, c.zeta1, c.wn1, c.alpha1) : gainRefusal(2, c.zeta2, c.wn2, c.alpha2);
        if (!kvZero[k].empty() && !why.empty()) r.refuseAs(kvZero[k]);
    }
    if (!r.error().empty()) {
        result.error = r.error();
        return result;
    }
    s = c;
    result.ok = true;
    return result;
}

}  // namespace

TaskFileResult parseRobotData(const std::string& text, const std::string& name, SimSettings& s)
{
    TextTokens tokens(text);
    return readTokens(tokens, name, s);
}

TaskFileResult loadRobotDataFile(const std::string& path, SimSettings& s)
{
    TaskFileResult result;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        result.error = path + ": is a directory, not a robot data file";
        return result;
    }
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (!f) {
        result.error = path + ": cannot open: " + std::strerror(errno);
        return result;
    }
    FileTokens tokens(f);
    result = readTokens(tokens, path, s);
    if (result.ok && std::ferror(f)) {
        result.ok = false;
        result.error = path + ": read error";
    }
    std::fclose(f);
    return result;
}

}  // namespace hybridsim
