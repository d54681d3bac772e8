#include "console/startup.h"

#include <optional>
#include <string>

#include "console/dialogue.h"
#include "sim/derivation.h"
#include "task/messages.h"

namespace hybridsim {
namespace {

// Asks `question` for a selector key out of `choices` and echoes it; a key
// outside them is refused and the question asked again; the end of the
// input keeps (and echoes) the current one.
void selectAndEcho(Terminal& t, const char* question, const char* choices, char& field)
{
    auto ask = [&] { t.out() << question; };
    ask();
    const std::optional<char> k = readChoice(t, choices, ask);
    if (k) field = *k;
    t.writeWithRaw(msg::startEcho, std::string(1, field));
}

}  // namespace

void startUp(Session& session)
{
    SimSettings& s = session.settings;
    Terminal& t = session.terminal;
    std::ostream& out = t.out();
    ReachNotice notice = makeReachNotice(session);
    auto derive = [&] {
        notice.beginScope();
        deriveSettings(s, &notice);
        notice.endScope();
    };

    setEntryDefaults(s);
    setDefaults(s);
    derive();

    out << msg::startTitle << msg::startSubtitle << msg::startFileQuestion;
    const std::optional<char> k = t.readKey();
    s.key = k ? *k : 'n';  // the end of the input: not 'r'
    if (s.key != 'r') {
        selectAndEcho(t, msg::startRobotQuestion, "ab", s.type);
        selectAndEcho(t, msg::startMethodQuestion, "78", s.hybrid);
        selectAndEcho(t, msg::startContourQuestion, "LCS", s.curve);
    }
    derive();
    // the first pass begins with the robot heading, or reads the data file
    if (s.key != 'r') s.key = s.type;
    t.flush();
}

}  // namespace hybridsim
