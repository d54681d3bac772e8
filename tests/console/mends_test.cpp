// Mistakes and accidents at the console: numbers that are not numbers,
// values the model cannot take, the end of the input, robot data files that
// cannot be read, and points out of reach.
#include <gtest/gtest.h>

#include <string>

#include "task/text_format.h"
#include "tests/console/console_test_support.h"
#include "tests/console/expected_texts.h"

namespace hybridsim::testing {
namespace {

using namespace expect;

void runPass(ScriptedSession& p, const SimSettings& start, char key)
{
    *p.settings = start;
    p.settings->key = key;
    settingsDialogue(p.session);
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

const char* const defaultTask = "b 0.5 0.5 500 500 8 5 0 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10\n";

TEST(BadInput, ANumberTypoKeepsTheLaterTargetsAndAnswersNothing)
{
    // "abc" must not become the answers to the following questions
    ScriptedSession p("y\n600 abc 800\nz\nn\n");
    runPass(p, defaultSettings(), 'k');
    EXPECT_EQ(p.settings->KH1, 600.0);
    EXPECT_EQ(p.settings->KH2, 500.0);
    const std::string out = p.output();
    EXPECT_TRUE(contains(out, std::string(S1i) +
                                  "\n!!! 数値ではありません: 'abc'　この値から後は変更しません．" +
                                  format(S2a, '8') + S2q + format(S3a, 5.0, 0.0)));
    EXPECT_EQ(p.unread(), "\n");
}

TEST(BadInput, RefusedValuesKeepTheOldOnesWithAMessage)
{
    struct Case {
        char key;
        const char* script;
        const char* message;
    };
    const Case cases[] = {
        {'k', "y\n0 700\nn", "\n!!! KH1 は正の値でなければなりません．旧値のままです．"},
        {'k', "y\n600 -5\nn", "\n!!! KH2 は正の値でなければなりません．旧値のままです．"},
        {'k', "y\ninf 700\nn", "\n!!! KH1 が有限の数値ではありません．旧値のままです．"},
        {'L', "y\n0.3 0 0.3 0.3 0\nn", "\n!!! tf は正の値でなければなりません．旧値のままです．"},
        {'C', "y\n0.4 0 -0.1 6\nn", "\n!!! r は正の値でなければなりません．旧値のままです．"},
        {'S', "y\n0.2 0.3 0 0.2 4\nn", "\n!!! L は正の値でなければなりません．旧値のままです．"},
        {'S', "y\n0.2 nan 0.6 0.2 4\nn", "\n!!! y0 が有限の数値ではありません．旧値のままです．"},
        {'e', "y\n-inf\nn", "\n!!! seterror が有限の数値ではありません．旧値のままです．"},
        {'f', "y\nnan", "\n!!! Fn が有限の数値ではありません．旧値のままです．"},
    };
    for (const Case& c : cases) {
        SimSettings start = defaultSettings();
        if (c.key == 'L' || c.key == 'C' || c.key == 'S') start = settingsFor('b', '8', c.key);
        ScriptedSession p(c.script);
        runPass(p, start, c.key);
        EXPECT_TRUE(contains(p.output(), c.message)) << c.script;
        // every entered field is as before (the closing derivation aside)
        const SimSettings& s = *p.settings;
        EXPECT_EQ(s.KH1, start.KH1) << c.script;
        EXPECT_EQ(s.KH2, start.KH2) << c.script;
        EXPECT_EQ(s.lineTf, start.lineTf) << c.script;
        EXPECT_EQ(s.circleR, start.circleR) << c.script;
        EXPECT_EQ(s.sineL, start.sineL) << c.script;
        EXPECT_EQ(s.sineY0, start.sineY0) << c.script;
        EXPECT_EQ(s.seterror, start.seterror) << c.script;
        EXPECT_EQ(s.Fn, start.Fn) << c.script;
    }
}

TEST(BadInput, AControlSystemWithoutVelocityGainIsRefusedTheOtherTaken)
{
    ScriptedSession p("y\n0 0\n25 3\nn");
    runPass(p, defaultSettings(), 'g');
    const SimSettings& s = *p.settings;
    EXPECT_TRUE(contains(p.output(),
                         "\n!!! fn1 と α1 では速度ゲイン Kv1 が 0 になり制御系が定まりません．旧値のままです．"));
    EXPECT_EQ(s.wn1Hybrid8, twoPi * 5.0);
    EXPECT_EQ(s.alpha1Hybrid8, 0.0);
    EXPECT_EQ(s.wn2Hybrid8, twoPi * 25.0);
    EXPECT_EQ(s.alpha2Hybrid8, 3.0);
    EXPECT_TRUE(std::isfinite(s.Kp1) && s.Kv1 > 0.0);
}

TEST(EndOfInput, AnEmptyInputRunsTheProgramThroughWithTheDefaults)
{
    ScriptedSession p("");
    startUp(p.session);
    const SimSettings afterStart = *p.settings;
    settingsDialogue(p.session);
    // not 'r'; each selection kept and shown; 'n' at the opening question
    EXPECT_EQ(p.output(), std::string(M1) + M2 + M3 + M4 + "\nb" + M6 + "\n8" + M7 + "\nS" + K1 + K2 +
                              K3 + K4 + K5 + K6 + K7 + K8 + K9 + K10 + K11 + K12 + K13 + K14 +
                              reportOf(afterStart) + H2 + Q0 + reportOf(*p.settings) + Z1 +
                              runFinished + Z2 + Z3);
}

TEST(EndOfInput, EveryKindOfQuestionTakesTheAnswerThatChangesNothing)
{
    const SimSettings start = defaultSettings();
    {  // a section question: 'n'
        ScriptedSession p("");
        runPass(p, start, 'k');
        EXPECT_FALSE(contains(p.output(), format(S2a, '8')));
    }
    {  // a number read: what was read is taken, the rest kept
        ScriptedSession p("y\n650");
        runPass(p, start, 'k');
        EXPECT_EQ(p.settings->KH1, 650.0);
        EXPECT_EQ(p.settings->KH2, 500.0);
        EXPECT_TRUE(contains(p.output(), std::string(S2q) + "\n\n******"));
    }
    {  // the method and the contour selections keep the current one
        ScriptedSession p("y");
        runPass(p, start, 'h');
        EXPECT_EQ(p.settings->hybrid, '8');
        ScriptedSession q("zzzy");
        runPass(q, start, 'k');
        EXPECT_EQ(q.settings->curve, 'S');
        EXPECT_TRUE(contains(q.output(), std::string(S4i) + W1));
    }
    {  // gains: nothing typed keeps the frequencies exactly
        ScriptedSession p("y");
        runPass(p, start, 'g');
        EXPECT_EQ(p.settings->wn1, start.wn1);
        EXPECT_EQ(p.settings->wn2, start.wn2);
    }
}

TEST(EndOfInput, TheFileDialogueEndsWithoutReadingAFile)
{
    const SimSettings start = defaultSettings();
    const std::string ended = "\n!!! 入力が終わりました．ファイルは読み込みません．";
    {  // no name
        ScriptedSession p("");
        runPass(p, start, 'r');
        EXPECT_EQ(p.output(), std::string(K1) + K2 + K3 + K4 + K5 + K6 + K7 + K8 + K9 + K10 + K11 +
                                  K12 + K13 + K14 + F1 + F2 + ended + reportOf(start) + Z1 +
                                  runFinished + Z2 + Z3);
    }
    {  // a name but no confirmation
        ScriptedSession p("robot51.dat\n");
        runPass(p, start, 'r');
        EXPECT_TRUE(contains(p.output(), format(F3, "robot51.dat") + F4 + ended + reportOf(start)));
    }
    {  // names never confirmed: asked again until the input ends
        ScriptedSession p("a.dat\nn\nb.dat\nx");
        runPass(p, start, 'r');
        const std::string out = p.output();
        EXPECT_EQ(countOf(out, F2), 3);
        EXPECT_TRUE(contains(out, format(F3, "a.dat")));
        EXPECT_TRUE(contains(out, format(F3, "b.dat")));
    }
}

TEST(RobotDataFile, AFileThatCannotBeReadIsNamedAndTheNameAskedAgain)
{
    const std::string good = writeTempFile("good.dat", defaultTask);
    const std::string bad =
        writeTempFile("bad.dat", "b 0.5 0.5 500 500 8 5 zz 20 2 S 0.2 0.3 0.6 0.2 4 0.005 10\n");
    const std::string missing = good + ".missing";
    SimSettings start = settingsFor('a', '7', 'L');
    start.KH1 = 800.0;
    ScriptedSession p(missing + "\ny" + bad + "\ny" + good + "\ny");
    runPass(p, start, 'r');
    const std::string out = p.output();
    const std::string notRead = "\n!!! ファイルを読み込めません（設定は変わりません）: ";
    EXPECT_TRUE(contains(out, format(F3, missing.c_str()) + F4 + notRead + missing +
                                  ": cannot open: No such file or directory" + F1 + F2));
    EXPECT_TRUE(contains(out, format(F3, bad.c_str()) + F4 + notRead + bad + ": token 8 'zz'"));
    EXPECT_EQ(countOf(out, notRead), 2);
    // the good file restores the default task
    const SimSettings& s = *p.settings;
    EXPECT_EQ(s.type, 'b');
    EXPECT_EQ(s.curve, 'S');
    EXPECT_EQ(s.KH1, 500.0);
    EXPECT_EQ(s.l2, 0.3);
    EXPECT_TRUE(contains(out, "(l1,l2)=( 0.500, 0.500)[m]"));
}

TEST(RobotDataFile, ANameIsOneWordOfAnyLengthAndOnlyYConfirmsIt)
{
    const std::string longName = std::string(200, 'r') + ".dat";
    const std::string path = writeTempFile(longName, defaultTask);
    SimSettings start = settingsFor('a', '7', 'L');
    ScriptedSession p("wrong.dat\nn" + path + "   trailing words\ny");
    runPass(p, start, 'r');
    const std::string out = p.output();
    EXPECT_TRUE(contains(out, format(F3, path.c_str()) + F4 +
                                  "\n!!! 余分な入力を読み飛ばしました: 'trailing words'"));
    EXPECT_FALSE(contains(out, "wrong.dat: cannot open"));  // 'n' asks again, opens nothing
    EXPECT_EQ(p.settings->type, 'b');
}

// The line contour moved out of robot b's reach.
std::string unreachableLineScript()
{
    return "y\n2 0 2 0.3 4\n";
}

TEST(NoSolution, OnlyTheFirstPointOfEachStepIsShownAndScriptsLoseNoKey)
{
    ScriptedSession p(unreachableLineScript() + "n");
    runPass(p, settingsFor('b', '8', 'L'), 'L');
    const std::string out = p.output();
    // the contour recomputation, the closing derivation and the run
    EXPECT_EQ(countOf(out, noSolution), 3);
    EXPECT_TRUE(contains(out, std::string(noSolution) + format(noSolutionDetail, 0.5, 0.5, 2.0, 0.0)));
    EXPECT_EQ(countOf(out, "\n    逆運動学の解なしの点は合計 2 点でした．"), 2);
    EXPECT_TRUE(contains(out, "点でした．" + std::string(runFinished)));
    // the 'n' answered the setting error question: the closing derivation follows
    EXPECT_TRUE(contains(out, std::string(S5q) + noSolution));
    EXPECT_FALSE(contains(out, S6q));
    EXPECT_EQ(p.unread(), "");
}

TEST(NoSolution, OnATerminalEachShownMessageWaitsForOneKey)
{
    // keys: 'y', then the numbers' line, a key for the wait, 'n', two keys for
    // the waits of the closing derivation and the run
    ScriptedSession p("y2 0 2 0.3 4\n1n23rest", /*interactive=*/true);
    runPass(p, settingsFor('b', '8', 'L'), 'L');
    const std::string out = p.output();
    EXPECT_EQ(countOf(out, noSolution), 3);
    EXPECT_TRUE(contains(out, std::string(S5q) + noSolution));
    EXPECT_FALSE(contains(out, S6q));
    EXPECT_EQ(p.unread(), "rest");
}

}  // namespace
}  // namespace hybridsim::testing
