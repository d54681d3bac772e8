// Transcripts of the start-up sequence and of dialogue passes, driven by
// scripted keys and compared with the exact console text.
#include <gtest/gtest.h>

#include <string>

#include "sim/derivation.h"
#include "task/run_notice.h"
#include "task/text_format.h"
#include "tests/console/console_test_support.h"
#include "tests/console/expected_texts.h"

namespace hybridsim::testing {
namespace {

using namespace expect;

std::string menu()
{
    return std::string(K1) + K2 + K3 + K4 + K5 + K6 + K7 + K8 + K9 + K10 + K11 + K12 + K13 + K14;
}

// The closing step after the final report.
std::string closingAfterReport(char curve)
{
    if (curve == 'S') return std::string(Z1) + runFinished + Z2 + Z3;
    return std::string(runFinished) + Z3;
}

std::string startQuestions(char type, char hybrid, char curve)
{
    return std::string(M1) + M2 + M3 + M4 + format(M5, type) + M6 + format(M5, hybrid) + M7 +
           format(M5, curve);
}

// Runs one pass from `start` entered with `key`; the session keeps the result.
void runPass(ScriptedSession& p, const SimSettings& start, char key)
{
    *p.settings = start;
    p.settings->key = key;
    settingsDialogue(p.session);
}

// The display state that every pass resets, spoiled beforehand.
SimSettings spoiledView(SimSettings s)
{
    s.frame = 17;
    s.viewScale = 0.3;
    s.pointErrorGain = 99.0;
    return s;
}

TEST(Startup, AnswerRAsksForTheFileAtOnceAndReportsItsSettings)
{
    const std::string path = writeTempFile(
        "robot-a.dat", "a 0.7\n500 500 7 5 0 10 5\nL 0.3 0.0 0.3 0.3 4\n0.005 10\n");
    ScriptedSession p("r" + path + "\ny");
    startUp(p.session);
    EXPECT_EQ(p.settings->key, 'r');
    settingsDialogue(p.session);

    const SimSettings& s = *p.settings;
    EXPECT_EQ(s.type, 'a');
    EXPECT_EQ(s.hybrid, '7');
    EXPECT_EQ(s.curve, 'L');
    // no report before the file: menu, file questions, then the report of the file
    EXPECT_EQ(p.output(), std::string(M1) + M2 + M3 + menu() + F1 + F2 + format(F3, path.c_str()) +
                              F4 + reportOf(s) + closingAfterReport('L'));
    EXPECT_NE(reportOf(s).find("円筒座標ロボット"), std::string::npos);
}

TEST(Startup, RobotMethodContourKeysAreEchoedAndOpenTheFirstPass)
{
    ScriptedSession p("na7L" "n");
    startUp(p.session);
    const SimSettings afterStart = *p.settings;
    EXPECT_EQ(afterStart.key, 'a');
    settingsDialogue(p.session);

    const SimSettings& s = *p.settings;
    EXPECT_EQ(p.output(), startQuestions('a', '7', 'L') + menu() + reportOf(afterStart) + H1 + Q0 +
                              reportOf(s) + closingAfterReport('L'));
    const std::string report = reportOf(s);
    EXPECT_NE(report.find("(1-2) アーム長     l =  0.700[m]"), std::string::npos);
    EXPECT_NE(report.find("(2-1) hybrid7:"), std::string::npos);
    EXPECT_EQ(s.startX, 0.3);
    EXPECT_EQ(s.endY, 0.3);
}

// A key outside a selector's choices would make every branch on it do
// nothing: it gets a notice, the question comes again, the old value stays.
TEST(Startup, KeysOutsideTheChoicesAreRefusedAndTheQuestionAskedAgain)
{
    ScriptedSession p("nxAb" "9" "8" "lS" "n");
    startUp(p.session);
    EXPECT_EQ(p.settings->key, 'b');
    EXPECT_EQ(p.settings->type, 'b');
    EXPECT_EQ(p.settings->hybrid, '8');
    EXPECT_EQ(p.settings->curve, 'S');
    EXPECT_EQ(p.output(), std::string(M1) + M2 + M3 + M4 + format(keyNotOffered, "x", "a, b") + M4 +
                              format(keyNotOffered, "A", "a, b") + M4 + format(M5, 'b') + M6 +
                              format(keyNotOffered, "9", "7, 8") + M6 + format(M5, '8') + M7 +
                              format(keyNotOffered, "l", "L, C, S") + M7 + format(M5, 'S'));

    // a control character is shown escaped; at the end of the input the
    // old value stays and is echoed
    ScriptedSession q(std::string("n\x1b", 2));
    startUp(q.session);
    EXPECT_EQ(q.settings->type, 'b');
    EXPECT_EQ(q.output(), std::string(M1) + M2 + M3 + M4 + format(keyNotOffered, "\\x1b", "a, b") + M4 +
                              format(M5, 'b') + M6 + format(M5, '8') + M7 + format(M5, 'S'));
}

TEST(Dialogue, RobotKeyAnsweredNChangesNothingButDerivesReportsAndRuns)
{
    SimSettings start = spoiledView(defaultSettings());
    start.startX = 42.0;  // a derived value out of date
    ScriptedSession p("n");
    runPass(p, start, 'b');

    SimSettings derived = defaultSettings();
    EXPECT_EQ(p.output(), menu() + reportOf(start) + H2 + Q0 + reportOf(derived) + closingAfterReport('S'));
    EXPECT_EQ(p.settings->startX, 0.2);
    EXPECT_EQ(p.settings->frame, 0);
    EXPECT_EQ(p.settings->viewScale, 1.0);
    EXPECT_EQ(p.settings->pointErrorGain, 10.0);
    // the run was recorded for robot b
    EXPECT_TRUE(near(p.run->B.contactForce[start.nsteps], 10.0, 0.5));
}

TEST(Dialogue, KeyKAnsweredZEverywhereShowsEverySectionButTheContourParameters)
{
    const SimSettings start = defaultSettings();
    ScriptedSession p("z\nz\nz\nz\nz\nz\n");
    runPass(p, start, 'k');
    EXPECT_EQ(p.output(),
              menu() + reportOf(start) +
                  "\n(1-6) ハンドばね定数　旧(KH1,KH2)=( 500.00  500.00)[N/m]"
                  "\n(1-6) ハンドばね定数変更？：y  変更しない：z  以下全て変更しない : n  "
                  "\n(2-1) hybrid制御方法　旧 hybrid8 "
                  "\n(2-1) hybrid制御方法変更？：y  変更しない：z  以下全て変更しない : n  "
                  "\n(2-2) 制御ゲイン1 旧　fn1= 5.000[Hz], α1= 0.000[1/s]"
                  "\n                2 旧　fn2=20.000[Hz], α2= 2.000[1/s]"
                  "\n(2-2) 制御ゲイン変更？：y  変更しない：z  以下全て変更しない : n  "
                  "\n(3-2) 物体輪郭　旧 S  正弦波曲線"
                  "\n(3-2) 物体輪郭変更？：y  変更しない：z  以下全て変更しない : n  "
                  "\n(3-3) 物体設置誤差　旧 seterror= 5.00[mm]"
                  "\n(3-3) 設置誤差変更？：y  変更しない：z  以下全て変更しない : n "
                  "\n(3-4) 接触力（法線力）　旧 Fn=10.00[N]"
                  "\n(3-4) 接触力変更？：y  変更しない：n  " +
                  reportOf(start) +
                  "\n     只今計算中．．．．．．．\n計算calcontrol()終わり     計算終了"
                  "\n\n     描画画面へ　　　　　");
    EXPECT_EQ(p.unread(), "\n");
}

TEST(Dialogue, SpringsTakeBothValuesThenTheMethodIsAsked)
{
    ScriptedSession p("y\n600 700\nn\n");
    runPass(p, defaultSettings(), 'k');
    EXPECT_EQ(p.settings->KH1, 600.0);
    EXPECT_EQ(p.settings->KH2, 700.0);
    const std::string out = p.output();
    EXPECT_NE(out.find(std::string(S1q) + S1i + format(S2a, '8') + S2q + reportOf(*p.settings)),
              std::string::npos);
    EXPECT_NE(out.find("(KH1,  KH2) =(600.00 700.00)[N/m]"), std::string::npos);
}

TEST(Dialogue, GainsEnteredUnderMethod8AreStoredForMethod8Only)
{
    SimSettings start = defaultSettings();
    start.zeta1 = 0.5;
    start.zeta2 = 0.7;
    ScriptedSession p("y\n5 0\n20 2\nn\n");
    runPass(p, start, 'g');
    SimSettings s = *p.settings;
    EXPECT_EQ(p.output(), menu() + reportOf(start) + format(S3a, 5.0, 0.0) + format(S3b, 20.0, 2.0) +
                              S3q + S3e1 + S3e2 + S3e3 + S3e4 + format(S3i1, 5.0, 0.0) +
                              format(S3i2, 20.0, 2.0) + format(S4a, 'S') + S4S + S4q + reportOf(s) +
                              closingAfterReport('S'));
    EXPECT_EQ(s.wn1, twoPi * 5.0);
    EXPECT_EQ(s.wn2, twoPi * 20.0);
    EXPECT_EQ(s.zeta1, 1.0);
    EXPECT_EQ(s.zeta2, 1.0);
    EXPECT_EQ(s.wn1Hybrid8, twoPi * 5.0);
    EXPECT_EQ(s.wn2Hybrid8, twoPi * 20.0);
    EXPECT_EQ(s.alpha2Hybrid8, 2.0);
    EXPECT_TRUE(near(s.Kp2, 16294.0219, 1e-4));
    // method 7 keeps its own values and brings them back
    s.hybrid = '7';
    deriveSettings(s);
    EXPECT_EQ(s.wn2, twoPi * 10.0);
    EXPECT_EQ(s.alpha2, 5.0);
}

// The gain questions design with zeta = 1, unless the values kept from a
// task with another ratio would leave a loop no velocity gain with it.
TEST(Dialogue, GainQuestionsSetTheRatiosToOneButNeverLeaveKvZero)
{
    SimSettings start = defaultSettings();
    start.zeta1 = 0.5;
    start.zeta2 = 0.5;
    start.wn2Hybrid8 = 100.0;
    start.alpha2Hybrid8 = -200.0;  // Kv2 = 2 zeta2 wn2 + alpha2 = -100
    deriveSettings(start);
    ScriptedSession p("y\n\n\nn\n");
    runPass(p, start, 'g');
    const SimSettings& s = *p.settings;
    EXPECT_EQ(s.zeta1, 1.0);
    EXPECT_EQ(s.zeta2, 0.5);
    EXPECT_EQ(s.wn2, 100.0);
    EXPECT_EQ(s.alpha2, -200.0);
    EXPECT_EQ(s.Kv2, -100.0);
}

TEST(Dialogue, GainsAfterChangingTheMethodAreStoredForTheNewMethod)
{
    ScriptedSession p("y7y\n3 0\n6 5\nn");
    runPass(p, defaultSettings(), 'h');
    const SimSettings& s = *p.settings;
    const std::string out = p.output();
    // the method prompt shows the old method; the gain prompts method 7's own
    // stored values, the ones that a 'z' here would keep
    EXPECT_NE(out.find(format(S2a, '8') + S2q + S2d7 + S2d8 + format(S2i, '8') + format(S3a, 5.0, 0.0) +
                       format(S3b, 10.0, 5.0) + S3q + S3e1 + S3e2 + S3e3 + S3e4 +
                       format(S3i1, 5.0, 0.0) + format(S3i2, 10.0, 5.0)),
              std::string::npos);
    EXPECT_EQ(s.hybrid, '7');
    EXPECT_EQ(s.wn1Hybrid7, twoPi * 3.0);
    EXPECT_EQ(s.wn2Hybrid7, twoPi * 6.0);
    EXPECT_EQ(s.alpha2Hybrid7, 5.0);
    EXPECT_EQ(s.wn2Hybrid8, twoPi * 20.0);  // method 8 untouched
    EXPECT_EQ(s.wn2, twoPi * 6.0);         // in force after the closing derivation
    EXPECT_NE(out.find("(2-1) hybrid7:"), std::string::npos);
}

// After a switch of method the gains section works on the new method's own
// values: what it shows is what 'z', 'n' or an unreadable answer keeps, what
// it stores and what the run uses; method 8's values stay method 8's.
TEST(Dialogue, AMethodSwitchNeverCarriesTheOldMethodsGainsOver)
{
    SimSettings fresh7 = defaultSettings();
    fresh7.hybrid = '7';
    deriveSettings(fresh7);
    for (const char* answers : {"yzy7y\nx\nx\nn", "yzy7z" "n", "yzy7n"}) {
        SCOPED_TRACE(answers);
        ScriptedSession p(std::string("nb8S\n") + answers);
        startUp(p.session);
        settingsDialogue(p.session);
        const SimSettings& s = *p.settings;
        EXPECT_EQ(s.hybrid, '7');
        for (auto [got, want] : {std::pair{s.wn1Hybrid7, fresh7.wn1Hybrid7}, {s.wn2Hybrid7, fresh7.wn2Hybrid7},
                                 {s.alpha1Hybrid7, fresh7.alpha1Hybrid7}, {s.alpha2Hybrid7, fresh7.alpha2Hybrid7},
                                 {s.wn2, twoPi * 10.0}, {s.alpha2, 5.0}, {s.Kp2, fresh7.Kp2}})
            EXPECT_EQ(got, want);
        EXPECT_EQ(s.wn2Hybrid8, twoPi * 20.0);
        if (std::string(answers).find("y7y") != std::string::npos) {
            EXPECT_NE(p.output().find(format(S3b, 10.0, 5.0)), std::string::npos);
        }
    }
}

TEST(Dialogue, MethodAndContourKeysOutsideTheirChoicesAreAskedAgain)
{
    ScriptedSession p("y97" "n");
    runPass(p, defaultSettings(), 'h');
    EXPECT_EQ(p.settings->hybrid, '7');
    EXPECT_NE(p.output().find(format(S2i, '8') + format(keyNotOffered, "9", "7, 8") + format(S2i, '8') +
                              format(S3a, 5.0, 0.0)),
              std::string::npos);

    ScriptedSession c("zzzyQcLn");
    runPass(c, defaultSettings(), 'k');
    EXPECT_EQ(c.settings->curve, 'L');
    EXPECT_NE(c.output().find(std::string(S4i) + format(keyNotOffered, "Q", "L, C, S") + S4i +
                              format(keyNotOffered, "c", "L, C, S") + S4i + L1),
              std::string::npos);
    // the end of the input keeps the contour
    ScriptedSession e("zzzyQ");
    runPass(e, defaultSettings(), 'k');
    EXPECT_EQ(e.settings->curve, 'S');
}

TEST(Dialogue, SettingErrorIsEnteredInMillimetres)
{
    ScriptedSession p("y\n12\nn");
    runPass(p, defaultSettings(), 'e');
    EXPECT_EQ(p.settings->seterror, 0.012);
    EXPECT_EQ(p.settings->seterrorLabel, "12[mm]\n");
    const std::string out = p.output();
    EXPECT_NE(out.find(std::string(S5q) + S5i + format(S6a, 10.0) + S6q),
              std::string::npos);
    EXPECT_NE(out.find("(3-6) 物体設置誤差(X正方向ずれ) e =  12.00[mm]"), std::string::npos);
}

TEST(Dialogue, ForceSectionTakesZLikeN)
{
    const SimSettings start = defaultSettings();
    ScriptedSession p("zy");
    runPass(p, start, 'f');
    EXPECT_EQ(p.output(), menu() + reportOf(start) + format(S6a, 10.0) + S6q + reportOf(start) +
                              closingAfterReport('S'));
    EXPECT_EQ(p.unread(), "y");

    ScriptedSession q("y\n25");
    runPass(q, start, 'f');
    EXPECT_EQ(q.settings->Fn, 25.0);
    EXPECT_NE(q.output().find(std::string(S6q) + S6i + reportOf(*q.settings)), std::string::npos);
}

TEST(Dialogue, ContourKeyFromTheWindowOpensThatContoursSubsection)
{
    // the window's 'S' has already selected the sine wave over the line
    SimSettings start = settingsFor('b', '8', 'L');
    start.curve = 'S';
    ScriptedSession p("n");
    runPass(p, start, 'S');
    EXPECT_EQ(p.output(), menu() + reportOf(start) + W1 + format(W2, 0.2, 0.3) +
                              format(W3, 0.6, 0.2, 4.0) + Wq + reportOf(*p.settings) +
                              closingAfterReport('S'));
}

TEST(Dialogue, ContourSubsectionTakesValuesOnlyOnY)
{
    const SimSettings line = settingsFor('b', '8', 'L');
    ScriptedSession p("y\n0.35 0.05 0.35 0.25 3\nn");
    runPass(p, line, 'L');
    const SimSettings& s = *p.settings;
    EXPECT_EQ(p.output(), menu() + reportOf(line) + L1 + format(L2, 0.3, 0.0) +
                              format(L3, 0.3, 0.3, 4.0) + Lq + Li + format(S5a, 5.0) + S5q +
                              reportOf(s) + closingAfterReport('L'));
    EXPECT_EQ(s.lineX0, 0.35);
    EXPECT_EQ(s.lineYf, 0.25);
    EXPECT_EQ(s.lineTf, 3.0);
    EXPECT_EQ(s.tf, 3.0);

    // circle: any other key keeps the values, 'z' goes on to the setting error
    const SimSettings circle = settingsFor('b', '8', 'C');
    ScriptedSession c("x\nn");
    runPass(c, circle, 'C');
    EXPECT_EQ(c.output(), menu() + reportOf(circle) + C1 + format(C2, 0.4, 0.0, 0.25) +
                              format(C3, 6.0) + Cq + format(S5a, 5.0) + S5q + reportOf(*c.settings) +
                              closingAfterReport('C'));
    EXPECT_EQ(c.settings->circleR, 0.25);
}

TEST(Dialogue, ContourSubsectionRecomputesAtOnceForAnyKeyButNAndZ)
{
    // the new line start lies out of robot b's reach: the message shows when
    // the start point is recomputed
    SimSettings start = settingsFor('b', '8', 'L');
    start.lineX0 = 1.5;
    const std::string unreachable = format(noSolutionDetail, 0.5, 0.5, 1.5, 0.0);
    for (char key : {'y', 'x', 'z'}) {
        ScriptedSession p(std::string(1, key) + (key == 'y' ? "\n1.5 0 0.3 0.3 4\n" : "") + "n");
        runPass(p, start, 'L');
        const std::string out = p.output();
        const size_t question = out.find(Lq);
        const size_t next = out.find(format(S5a, 5.0));
        ASSERT_NE(next, std::string::npos) << key;
        const std::string between = out.substr(question, next - question);
        EXPECT_EQ(between.find(unreachable) != std::string::npos, key != 'z') << key;
        EXPECT_EQ(p.settings->startX, 1.5) << key;  // the closing derivation in every case
    }
}

// A positioning time longer than the run traces only part of the path: the
// pass says so once, after its report.
TEST(Dialogue, ARunShorterThanThePositioningTimeIsSaidOnce)
{
    ScriptedSession p("y\n0.2 0.3 0.6 0.2 12\nn");
    runPass(p, defaultSettings(), 'S');
    const std::string notice = format(runShorterThanPath, 12.0, 8.0);
    const std::string out = p.output();
    EXPECT_NE(out.find(reportOf(*p.settings) + notice + Z1), std::string::npos);
    EXPECT_EQ(out.find(notice), out.rfind(notice));
    ScriptedSession q("y\n0.2 0.3 0.6 0.2 8\nn");
    runPass(q, defaultSettings(), 'S');
    EXPECT_EQ(q.output().find("!!! 位置決め時間"), std::string::npos);
}

// A run whose numbers overflow says from which sample and why, once, after
// the run and before the window; a run that does not says nothing more.
TEST(Dialogue, ARunThatBlowsUpIsSaidOnceAfterTheRun)
{
    ScriptedSession p("y\n1e308\n");
    runPass(p, defaultSettings(), 'f');
    const std::string out = p.output();
    const std::string notice = format(runFaultFrom, 1, 0.04);
    const std::string closing = std::string(Z1) + runFinished + Z2;
    const std::size_t at = out.find(reportOf(*p.settings) + closing + notice);
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(out.find(notice), out.rfind(notice));
    // one line, then the way to the window
    const std::size_t end = out.find('\n', out.find(notice) + 1);
    EXPECT_EQ(out.substr(end), Z3);
    EXPECT_NE(out.substr(out.find(notice), end).find("Fn=1e+308[N]"), std::string::npos);
    ScriptedSession q("y\n20\n");
    runPass(q, defaultSettings(), 'f');
    EXPECT_EQ(q.output().find("!!! サンプル"), std::string::npos);
}

// A task under contact=spring whose sampled force loop is unstable says so
// once after the run, before the window; a stable one says nothing more.
TEST(Dialogue, AnUnstableSampledForceLoopIsSaidOnceAfterTheRun)
{
    SimSettings s = defaultSettings();
    s.springContact = true;
    s.controlPeriod = 0.04;
    ScriptedSession p("y\n10\n");
    runPass(p, s, 'f');
    const std::string out = p.output();
    const std::string notice = sampledLoopNotice(*p.settings);
    ASSERT_EQ(notice.rfind("\n!!! 制御周期 T=0.04[s]", 0), 0u) << notice;
    const std::string closing = std::string(Z1) + runFinished + Z2;
    EXPECT_NE(out.find(reportOf(*p.settings) + closing + notice + Z3), std::string::npos) << out;
    EXPECT_EQ(out.find(notice), out.rfind(notice));
    s.controlPeriod = 0.001;
    ScriptedSession q("y\n10\n");
    runPass(q, s, 'f');
    EXPECT_EQ(q.output().find("!!! 制御周期"), std::string::npos);
}

TEST(Dialogue, ContourChoiceZSkipsTheParametersAndYAsksForTheNewContour)
{
    const SimSettings start = defaultSettings();
    ScriptedSession p("zzzyCn");
    runPass(p, start, 'k');
    const std::string out = p.output();
    EXPECT_NE(out.find(format(S4a, 'S') + S4S + S4q + S4i + C1 + format(C2, 0.4, 0.0, 0.25) +
                       format(C3, 6.0) + Cq + reportOf(*p.settings)),
              std::string::npos);
    EXPECT_EQ(p.settings->curve, 'C');
    EXPECT_EQ(p.settings->startX, 0.65);
}

}  // namespace
}  // namespace hybridsim::testing
