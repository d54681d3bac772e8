#include "console/startup.h"

#include <optional>
#include <string>

#include "console/dialogue.h"
#include "console/messages.h"
#include "sim/derivation.h"

namespace hybridsim {
namespace {

// Reads a selector key and echoes it; the end of the input keeps (and
// echoes) the current one.
void selectAndEcho(Terminal& t, char& field)
{
    const std::optional<char> k = t.readKey();
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
        out << msg::startRobotQuestion;
        selectAndEcho(t, s.type);
        out << msg::startMethodQuestion;
        selectAndEcho(t, s.hybrid);
        out << msg::startContourQuestion;
        selectAndEcho(t, s.curve);
    }
    derive();
    // the first pass begins with the robot heading, or reads the data file
    if (s.key != 'r') s.key = s.type;
    t.flush();
}

}  // namespace hybridsim
