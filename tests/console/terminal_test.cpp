// The terminal layer: keys, numbers, words and the output encoding.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <sstream>
#include <string>

#include "console/terminal.h"
#include "tests/console/console_test_support.h"

namespace hybridsim::testing {
namespace {

TEST(TerminalKeys, ScriptKeysSkipLineEndsAndEndWithNoKey)
{
    ScriptedConsole c("\r\nab\n\nc");
    EXPECT_EQ(c.terminal.readKey(), 'a');
    EXPECT_EQ(c.terminal.readKey(), 'b');
    EXPECT_EQ(c.terminal.readKey(), 'c');
    EXPECT_EQ(c.terminal.readKey(), std::nullopt);
    EXPECT_EQ(c.terminal.readKey(), std::nullopt);  // and stays there
}

TEST(TerminalKeys, OnATerminalEnterIsAKeyAndCtrlDIsNone)
{
    ScriptedConsole c("\n\x04y", /*interactive=*/true);
    EXPECT_EQ(c.terminal.readKey(), '\n');
    EXPECT_EQ(c.terminal.readKey(), std::nullopt);
    EXPECT_EQ(c.terminal.readKey(), 'y');
}

TEST(TerminalKeys, NoSolutionWaitTakesAKeyOnlyOnATerminal)
{
    ScriptedConsole script("xy");
    script.terminal.waitKey();
    EXPECT_EQ(script.terminal.readKey(), 'x');
    ScriptedConsole tty("xy", true);
    tty.terminal.waitKey();
    EXPECT_EQ(tty.terminal.readKey(), 'y');
}

// A key mode that records when it is on.
class RecordingKeyMode : public KeyMode {
public:
    void enter() override { log += "enter "; }
    void leave() override { log += "leave "; }
    void dropTyped() override { log += "drop "; }
    std::string log;
};

TEST(TerminalKeys, SingleKeyModeIsOnForEachKeyReadFromATerminalOnly)
{
    // a pipe stands in for the terminal's file descriptor
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "k12 5\n", 6), 6);
    close(fds[1]);
    FdInputBuf buf(fds[0]);
    std::istream in(&buf);
    std::ostringstream out;
    RecordingKeyMode mode;
    {
        Terminal t(in, out, true, Encoding::utf8, &mode);
        t.out() << "prompt";
        EXPECT_EQ(t.readKey(), 'k');
        EXPECT_EQ(out.str(), "prompt");  // the prompt is out before the wait
        mode.log += "| ";
        EXPECT_EQ(t.readNumbers(2).values, std::vector<double>({12.0, 5.0}));
        mode.log += "| ";
        EXPECT_EQ(t.readKey(), std::nullopt);
    }
    close(fds[0]);
    EXPECT_EQ(mode.log, "enter leave | | enter leave ");
}

// What the window's dialogues start with: on a terminal, nothing typed
// before they ask -- neither what the stream holds nor the terminal's
// queue; a script is read on as it is.
TEST(TerminalKeys, TypedAheadIsDroppedOnATerminalOnly)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], "k12 5\nstale\n", 13), 13);
    FdInputBuf buf(fds[0]);
    std::istream in(&buf);
    std::ostringstream out;
    RecordingKeyMode mode;
    {
        Terminal t(in, out, true, Encoding::utf8, &mode);
        EXPECT_EQ(t.readKey(), 'k');  // one read took the rest in too
        EXPECT_EQ(t.readNumbers(1).values, std::vector<double>({12.0}));
        t.dropTypedAhead();
        ASSERT_EQ(write(fds[1], "fresh\n", 6), 6);
        close(fds[1]);
        EXPECT_EQ(t.readLine(), "fresh");  // no notice of the " 5" dropped
        EXPECT_EQ(t.readLine(), std::nullopt);
    }
    close(fds[0]);
    EXPECT_EQ(mode.log, "enter leave drop ");
    EXPECT_EQ(out.str(), "");

    ScriptedConsole script("ab");
    script.terminal.dropTypedAhead();
    EXPECT_EQ(script.terminal.readKey(), 'a');
}

TEST(TerminalNumbers, TokensComeAcrossLinesAndStayForTheNextRead)
{
    ScriptedConsole c("  1\n\n 2 3\n4");
    NumberRead a = c.terminal.readNumbers(1);
    NumberRead b = c.terminal.readNumbers(2);
    NumberRead d = c.terminal.readNumbers(2);
    EXPECT_EQ(a.values, std::vector<double>({1.0}));
    EXPECT_EQ(b.values, std::vector<double>({2.0, 3.0}));
    EXPECT_EQ(d.values, std::vector<double>({4.0}));
    EXPECT_TRUE(d.endOfInput);
    EXPECT_FALSE(d.badToken);
    EXPECT_EQ(c.output(), "");
}

TEST(TerminalNumbers, BadTokenStopsTheReadAndDropsTheRestOfItsLine)
{
    ScriptedConsole c("1.5 2x 3\n4\nk");
    NumberRead r = c.terminal.readNumbers(3);
    EXPECT_EQ(r.values, std::vector<double>({1.5}));
    EXPECT_TRUE(r.badToken);
    EXPECT_EQ(c.output(), "\n!!! 数値ではありません: '2x'　この値から後は変更しません．");
    // the "3" went with its line; the next read starts on the next one
    EXPECT_EQ(c.terminal.readNumbers(1).values, std::vector<double>({4.0}));
    EXPECT_EQ(c.terminal.readKey(), 'k');
}

TEST(TerminalNumbers, WhatFollowsTheNumbersOnTheirLineIsNotTakenAsKeys)
{
    ScriptedConsole c("600 700 zz\ny");
    EXPECT_EQ(c.terminal.readNumbers(2).values, std::vector<double>({600.0, 700.0}));
    EXPECT_EQ(c.terminal.readKey(), 'y');
    EXPECT_EQ(c.output(), "\n!!! 余分な入力を読み飛ばしました: 'zz'");
    // blanks alone are dropped without a word
    ScriptedConsole d("5   \r\nq");
    d.terminal.readNumbers(1);
    EXPECT_EQ(d.terminal.readKey(), 'q');
    EXPECT_EQ(d.output(), "");
}

TEST(TerminalNumbers, ExponentsSignsInfinityAndNanConvertLikeLf)
{
    ScriptedConsole c("-2.5e-3 +4 inf nan 0x10");
    NumberRead r = c.terminal.readNumbers(5);
    ASSERT_EQ(r.values.size(), 5u);
    EXPECT_EQ(r.values[0], -0.0025);
    EXPECT_EQ(r.values[1], 4.0);
    EXPECT_TRUE(std::isinf(r.values[2]));
    EXPECT_TRUE(std::isnan(r.values[3]));
    EXPECT_EQ(r.values[4], 16.0);
}

// Input that never ends a line (/dev/zero, a runaway generator) must not
// hold the program or fill its memory: a line past the limit ends its read
// as an unreadable number would, and the input counts as ended there.
TEST(TerminalInput, ALineThatNeverEndsEndsTheReadAndTheInput)
{
    const std::string endless(64 * 1024, '7');
    ScriptedConsole c("y\n" + endless + " 8\nk");
    EXPECT_EQ(c.terminal.readKey(), 'y');
    const NumberRead r = c.terminal.readNumbers(2);
    EXPECT_TRUE(r.values.empty());
    EXPECT_TRUE(r.badToken);
    EXPECT_EQ(c.output(), "\n!!! 数値ではありません: '" + std::string(60, '7') + "...'　この値から後は変更しません．");
    EXPECT_EQ(c.terminal.readKey(), std::nullopt);
    EXPECT_EQ(c.terminal.readWord(), std::nullopt);
    EXPECT_TRUE(c.terminal.readNumbers(1).endOfInput);

    // keys of a script count too: a stream of keys with no line end stops
    // being read, long after anything a terminal lets a user type on a line
    ScriptedConsole k(std::string(64 * 1024, 'x'));
    int keys = 0;
    while (k.terminal.readKey()) ++keys;
    EXPECT_GT(keys, 4096);
    EXPECT_LT(keys, 64 * 1024);

    // a long line that does end is read as it is
    ScriptedConsole l(std::string(10000, '9') + " 500\nk");
    const NumberRead big = l.terminal.readNumbers(2);
    ASSERT_EQ(big.values.size(), 2u);
    EXPECT_TRUE(std::isinf(big.values[0]));
    EXPECT_EQ(big.values[1], 500.0);
    EXPECT_EQ(l.terminal.readKey(), 'k');
}

TEST(TerminalWords, AWordHasAnyLengthAndEndsAtABlank)
{
    const std::string longName(5000, 'n');
    ScriptedConsole c("\n  " + longName + " rest\n");
    EXPECT_EQ(c.terminal.readWord(), longName);
    EXPECT_EQ(c.terminal.readWord(), "rest");
    EXPECT_EQ(c.terminal.readWord(), std::nullopt);
}

// The save prompt's name: the whole line, blanks inside kept.
TEST(TerminalWords, ALineIsTakenWholeAndAScriptKeysLineEndIsNoLine)
{
    ScriptedConsole c("n\n  my file.dat \r\n\nlast");
    EXPECT_EQ(c.terminal.readKey(), 'n');
    EXPECT_EQ(c.terminal.readLine(), "my file.dat");
    EXPECT_EQ(c.terminal.readLine(), "");  // an empty line is one
    EXPECT_EQ(c.terminal.readLine(), "last");
    EXPECT_EQ(c.terminal.readLine(), std::nullopt);

    // the rest of a number's line is dropped with its notice first
    ScriptedConsole n("600 700 extra\nname\n");
    EXPECT_EQ(n.terminal.readNumbers(2).values.size(), 2u);
    EXPECT_EQ(n.terminal.readLine(), "name");
    EXPECT_EQ(n.output(), "\n!!! 余分な入力を読み飛ばしました: 'extra'");

    // on a terminal a key is no line: Enter right away is the empty line
    ScriptedConsole tty("y\nname\n", true);
    EXPECT_EQ(tty.terminal.readKey(), 'y');
    EXPECT_EQ(tty.terminal.readLine(), "");
    EXPECT_EQ(tty.terminal.readLine(), "name");

    // a line past the limit ends the input
    ScriptedConsole endless(std::string(64 * 1024, 'a') + "\nname\n");
    EXPECT_EQ(endless.terminal.readLine(), std::nullopt);
    EXPECT_EQ(endless.terminal.readLine(), std::nullopt);
}

TEST(Encoding, ShiftJisCodesetsSelectCP932)
{
    for (const char* name : {"SHIFT_JIS", "Shift-JIS", "SJIS", "CP932", "WINDOWS-31J", "sjis"}) {
        EXPECT_EQ(encodingForCodeset(name), Encoding::cp932) << name;
    }
    for (const char* name : {"UTF-8", "ANSI_X3.4-1968", "EUC-JP", "ISO-8859-1", ""}) {
        EXPECT_EQ(encodingForCodeset(name), Encoding::utf8) << name;
    }
    EXPECT_EQ(encodingForCodeset(nullptr), Encoding::utf8);
}

TEST(Encoding, CP932OutputConvertsProgramTextAndPassesTheUsersBytes)
{
    std::ostringstream sink;
    {
        std::istringstream in;
        Terminal t(in, sink, false, Encoding::cp932);
        // "ロボット" cut inside its first character across two writes and a flush
        const std::string robot = "ロボット";
        t.out() << robot.substr(0, 2);
        t.out().flush();
        t.out() << robot.substr(2) << "\n";
        // a file name typed on a Shift-JIS terminal is echoed as it came
        t.writeWithRaw("[%s]", "\x83\x8D");
        // a byte that is not UTF-8 passes; a character CP932 lacks becomes '?'
        t.out() << "\xff" << "\xF0\x9F\x98\x80" << "α";
        t.flush();
    }
    EXPECT_EQ(sink.str(),
              "\x83\x8D\x83\x7B\x83\x62\x83\x67\n"
              "[\x83\x8D]"
              "\xff?\x83\xBF");
}

TEST(Encoding, Utf8OutputIsUnchanged)
{
    std::istringstream in;
    std::ostringstream sink;
    {
        Terminal t(in, sink, false, Encoding::utf8);
        t.out() << "ばね\xff";
        t.writeRaw("\x83");
    }
    EXPECT_EQ(sink.str(), "ばね\xff\x83");
}

}  // namespace
}  // namespace hybridsim::testing
