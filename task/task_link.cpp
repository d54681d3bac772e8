#include "task/task_link.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <utility>

#include "sim/derivation.h"
#include "sim/run.h"
#include "task/task_setting.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

// A number's task-file text up to this length goes into a pin as it is;
// a longer one as "~" and its bits.
constexpr std::size_t pinTextMost = 11;
const char base64url[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// Why a link is not read at all for its length, and why its goals after the
// first linkMostGoals are skipped: the words of the reader and of --link.
std::string tooLong(std::size_t characters)
{
    return format("the link is %zu characters long, more than a link of this page can be (%zu)", characters,
                  linkMostCharacters);
}

std::string tooManyGoals()
{
    return format("a link holds at most %zu goals", linkMostGoals);
}

struct NameValue {
    std::string name;
    std::string value;
};

// The settings that make the default task `task`: the fields of its robot
// and contour in the file's order (a selector before the numbers that
// depend on it), each where the task in the making still differs, applied
// as they go -- a new method brings its own stored gains, so the gains
// that follow are compared with those.
std::vector<NameValue> differences(const SimSettings& task)
{
    std::vector<NameValue> out;
    SimSettings at = linkDefaultTask();
    for (const TaskField& f : taskFields()) {
        if (!f.belongsTo(task)) continue;
        const std::string text = fieldText(f, task);
        if (f.belongsTo(at) && fieldText(f, at) == text) continue;
        setTaskSetting(at, f.name, text);
        out.push_back({f.name, text});
    }
    return out;
}

// Percent-encoding: every byte but the unreserved ones and those of `keep`.
std::string encoded(const std::string& text, const char* keep = "+")
{
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~' || (c != 0 && std::strchr(keep, c) != nullptr))
            out.push_back(static_cast<char>(c));
        else
            out += format("%%%02X", c);
    }
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The bytes `text` percent-encodes; false when a '%' is not followed by two
// hexadecimal digits.
bool decoded(const std::string& text, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        const int hi = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        const int lo = i + 2 < text.size() ? hexDigit(text[i + 2]) : -1;
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return true;
}

std::string bitsText(double v)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    std::string out = "~";
    out.push_back(base64url[(bits >> 60) & 0xF]);
    for (int shift = 54; shift >= 0; shift -= 6) out.push_back(base64url[(bits >> shift) & 0x3F]);
    return out;
}

// "~" and 11 characters back to the number they hold, as a text that
// parseDouble reads to those bits ("%.17g"; any not-a-number "nan"); false
// when they are no such characters.
bool fromBitsText(const std::string& text, std::string& number)
{
    if (text.size() != 12 || text[0] != '~') return false;
    std::uint64_t bits = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char* at = std::strchr(base64url, text[i]);
        if (text[i] == '\0' || at == nullptr) return false;
        const auto digit = static_cast<std::uint64_t>(at - base64url);
        if (i == 1 && digit > 0xF) return false;
        bits = (bits << 6) | digit;
    }
    double v = 0.0;
    std::memcpy(&v, &bits, sizeof v);
    number = format("%.17g", plainNan(v));  // (not-a-number with its sign bit is "nan", as everywhere)
    return true;
}

// Whether `name` is a selector's (robot, method, contour): read before the
// settings whose meaning it decides, wherever it stands -- a method brings
// its own stored gains, so a gain read before its method would be undone.
bool selectorName(const std::string& name)
{
    for (const TaskField& f : taskFields())
        if (f.rule == FieldRule::selector && name == f.name) return true;
    return false;
}

std::string pinText(const LinkPin& pin)
{
    std::string out = std::to_string(pin.slot + 1);
    for (const NameValue& d : differences(pin.task)) {
        const TaskField* number = nullptr;
        for (const TaskField& f : taskFields())
            if (d.name == f.name && !f.isChoice()) number = &f;
        std::string value = d.value;
        double v = 0.0;
        if (number && value.size() > pinTextMost && parseDouble(value, v)) value = bitsText(v);
        out += "," + encoded(d.name) + ":" + encoded(value);
    }
    return out;
}

// The reading of one link, parameter by parameter.
class Reader {
public:
    Reader(LinkReading& r, const LinkGoalReader& readGoal) : r_(r), readGoal_(readGoal) {}

    void skip(const std::string& why)
    {
        if (r_.skipped.size() < linkMostReasons) r_.skipped.push_back(why);
        ++r_.skippedCount;
    }

    // One parameter, `raw` as the link has it.
    void take(const std::string& raw)
    {
        const std::size_t eq = raw.find('=');
        if (eq == std::string::npos) return skip(shownText(raw) + ": expected NAME=VALUE");
        std::string key;
        std::string value;
        if (!decoded(raw.substr(0, eq), key) || !decoded(raw.substr(eq + 1), value))
            return skip(shownText(raw) +
                        ": malformed percent-encoding (a '%' must be followed by two hexadecimal digits)");
        const std::string given = shownText(key) + "=" + shownText(value);
        if (key != "pin" && key != "goal") {
            for (const std::string& k : seen_)
                if (k == key) return skip(given + ": " + shownText(key) + " is given more than once; the first is kept");
            seen_.push_back(key);
        }
        LinkState& s = r_.state;
        if (key == "v") return;  // read before
        if (key == "frame") {
            const int last = lastSample(s.task);
            long n = -1;
            if (value.empty() || value.size() > 9 || value.find_first_not_of("0123456789") != std::string::npos ||
                (n = std::stol(value)) > last)
                return skip(given + format(": the sample shown must be a whole number from 0 to %d", last));
            s.frame = static_cast<int>(n);
            return;
        }
        if (key == "overlay") {
            if (value != "0" && value != "1") return skip(given + ": the overlay is 0 (off) or 1 (on)");
            s.overlay = value == "1";
            return;
        }
        if (key == "lang") {
            if (value != "en" && value != "ja") return skip(given + ": the language is en or ja");
            s.language = value;
            return;
        }
        if (key == "pin") return pin(given, value);
        if (key == "lesson") {
            if (value.empty()) return skip("lesson=: the lesson is empty");
            s.lesson = value;
            return;
        }
        if (key == "goal") {
            std::string error;
            if (!readGoal_) return skip(given + ": goals are not read here");
            if (s.goals.size() == linkMostGoals) return skip(given + ": " + tooManyGoals());
            if (!readGoal_(value, error)) return skip(given + ": " + error);
            s.goals.push_back(value);
            return;
        }
        const SettingChange change = setTaskSetting(s.task, key, value);
        if (!change.ok) skip(change.message);
    }

private:
    // "S,NAME:VALUE,...": the pin in slot S, every setting taken, or none of it
    void pin(const std::string& given, const std::string& value)
    {
        const std::size_t comma = value.find(',');
        const std::string slotText = value.substr(0, comma);
        if (slotText.size() != 1 || slotText[0] < '1' || slotText[0] > '0' + linkMostPins)
            return skip(given + format(": a pin starts with its slot, 1 to %d", linkMostPins));
        LinkPin p;
        p.slot = slotText[0] - '1';
        p.task = linkDefaultTask();
        for (const LinkPin& other : r_.state.pins)
            if (other.slot == p.slot) return skip(given + format(": slot %d is taken by an earlier pin", p.slot + 1));
        std::vector<std::pair<std::string, std::string>> items;  // name, value
        for (std::size_t at = comma; at != std::string::npos;) {
            const std::size_t next = value.find(',', at + 1);
            const std::string item = value.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
            at = next;
            const std::size_t colon = item.find(':');
            if (colon == std::string::npos)
                return skip(given + ": expected NAME:VALUE after the slot (got '" + shownText(item) + "')");
            const std::string name = item.substr(0, colon);
            std::string text = item.substr(colon + 1);
            for (const auto& earlier : items)
                if (earlier.first == name)
                    return skip(given + ": " + shownText(name) + " is given more than once in the pin");
            if (!text.empty() && text[0] == '~' && !fromBitsText(text, text))
                return skip(given + ": '" + shownText(text) +
                            "' is not '~' and the 11 base64url characters of a number");
            items.emplace_back(name, text);
        }
        // the selectors first, then the rest, each in the order given
        std::stable_partition(items.begin(), items.end(), [](const auto& item) { return selectorName(item.first); });
        for (const auto& [name, text] : items) {
            const SettingChange change = setTaskSetting(p.task, name, text);
            if (!change.ok) return skip(given + ": " + change.message);
        }
        r_.state.pins.push_back(p);
    }

    LinkReading& r_;
    const LinkGoalReader& readGoal_;
    std::vector<std::string> seen_;  // the keys taken or skipped so far, but "pin"
};

}  // namespace

SimSettings linkDefaultTask()
{
    SimSettings s;
    setEntryDefaults(s);
    setDefaults(s);
    deriveSettings(s);
    return s;
}

std::vector<std::string> linkSettingItems(const SimSettings& task)
{
    std::vector<std::string> items;
    for (const NameValue& d : differences(task)) items.push_back(d.name + "=" + d.value);
    return items;
}

std::string linkFragment(const LinkState& state)
{
    std::string out = format("v=%d", linkVersion);
    for (const NameValue& d : differences(state.task)) out += "&" + encoded(d.name) + "=" + encoded(d.value);
    if (state.frame != 0) out += format("&frame=%d", state.frame);
    if (state.overlay) out += "&overlay=1";
    if (state.language != "en") out += "&lang=" + encoded(state.language);
    for (const std::string& g : state.goals) out += "&goal=" + encoded(g);
    for (const LinkPin& p : state.pins) out += "&pin=" + encoded(pinText(p), "+,:");
    if (!state.lesson.empty()) out += "&lesson=" + encoded(state.lesson);
    return out;
}

std::string linkNotReadWhole(const LinkState& state, const std::string& fragment)
{
    const std::string text = !fragment.empty() && fragment[0] == '#' ? fragment.substr(1) : fragment;
    if (text.size() > linkMostCharacters) return tooLong(text.size());
    if (state.goals.size() > linkMostGoals) return format("it has %zu goals; ", state.goals.size()) + tooManyGoals();
    if (state.pins.size() > static_cast<std::size_t>(linkMostPins))
        return format("it has %zu pins; a link holds at most %d", state.pins.size(), linkMostPins);
    return "";
}

LinkReading readLinkFragment(const std::string& fragment, const LinkGoalReader& readGoal)
{
    LinkReading r;
    r.state.task = linkDefaultTask();
    const std::string text = !fragment.empty() && fragment[0] == '#' ? fragment.substr(1) : fragment;
    if (text.empty()) return r;
    if (text.size() > linkMostCharacters) {
        r.refused = tooLong(text.size());
        return r;
    }
    std::vector<std::string> params;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t amp = text.find('&', at);
        const std::size_t end = amp == std::string::npos ? text.size() : amp;
        if (end > at) params.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    // the version first, wherever it stands: another one is not read at all
    std::string version;
    bool versionGiven = false;
    for (const std::string& p : params) {
        if (p.compare(0, 2, "v=") != 0) continue;
        versionGiven = decoded(p.substr(2), version);
        break;
    }
    if (!versionGiven) {
        r.refused = format("the link names no format version (v=%d)", linkVersion);
        return r;
    }
    if (version != std::to_string(linkVersion)) {
        r.refused = format("the link is of format version '%s'; this page reads version %d", shownText(version).c_str(),
                           linkVersion);
        return r;
    }
    // the selectors first, then the rest, each in the order given
    std::stable_partition(params.begin(), params.end(), [](const std::string& p) {
        std::string key;
        return decoded(p.substr(0, p.find('=')), key) && selectorName(key);
    });
    Reader reader(r, readGoal);
    for (const std::string& p : params) reader.take(p);
    return r;
}

bool linkIsAddress(const std::string& word)
{
    const std::size_t colon = word.find("://");
    if (colon == std::string::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(word[0]))) return false;
    for (std::size_t k = 1; k < colon; ++k) {
        const unsigned char c = static_cast<unsigned char>(word[k]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return true;
}

}  // namespace hybridsim
