// Saving the task from the window ('x'): the file the console writes reads
// back to the same run, an existing file is replaced only on 'y', a name
// that cannot be written is refused with its reason and asked again, and
// so is a name that 'r' could not read back; an empty line saves nothing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "task/series_csv.h"
#include "task/task_file.h"
#include "task/text_format.h"
#include "tests/console/console_test_support.h"
#include "tests/console/expected_texts.h"

namespace hybridsim::testing {
namespace {

using namespace expect;

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// The series of a run of `s`, as the batch runner writes them.
std::string csvOf(SimSettings s)
{
    deriveSettings(s);
    auto run = std::make_unique<RunSeries>();
    calcontrol(s, *run);
    std::ostringstream out;
    writeSeriesCsv(s, currentSeries(*run, s.type), out);
    return out.str();
}

std::string fileText(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Settings that a session reached: robot a, method 7, a circle, its own
// gains, springs and force.
SimSettings tunedSettings()
{
    SimSettings s = settingsFor('a', '7', 'C');
    s.KH1 = 612.5;
    s.wn2Hybrid7 = twoPi * 13.25;
    s.alpha2Hybrid7 = 4.5;
    s.circleR = 0.21;
    s.Fn = 12.75;
    s.seterror = -0.002;
    deriveSettings(s);
    return s;
}

TEST(SaveTask, TheSavedFileReadsBackToTheSameRun)
{
    const std::string path = writeTempFile("saved-task.dat", "");
    std::remove(path.c_str());
    ScriptedSession p(path + "\n");
    *p.settings = tunedSettings();
    const SimSettings before = *p.settings;
    ASSERT_TRUE(saveRobotDataFile(p.session));
    EXPECT_EQ(p.output(), std::string("\n現在の設定をファイル 'robot51.dat, robot52.dat, ...' に保存") + F2 +
                              "\nファイル " + path + " に保存しました．");
    EXPECT_EQ(reportOf(*p.settings), reportOf(before));  // saving changes nothing

    // the file, read as 'r' reads it, gives the run byte for byte
    SimSettings back = defaultSettings();
    const TaskFileResult r = loadRobotDataFile(path, back);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(csvOf(back), csvOf(before));
    deriveSettings(back);  // as the pass that reads it does
    EXPECT_EQ(reportOf(back), reportOf(before));
}

TEST(SaveTask, AnExistingFileIsReplacedOnlyOnY)
{
    const std::string path = writeTempFile("existing-task.dat", "old contents\n");
    // any key but 'y' asks for a name again; then the input ends
    ScriptedSession no(path + "\nn");
    *no.settings = tunedSettings();
    EXPECT_FALSE(saveRobotDataFile(no.session));
    const std::string replace = "\nファイル " + path + " は既にあります．上書きする？  yes:y   no:n  ";
    EXPECT_TRUE(contains(no.output(), replace + "\n現在の設定をファイル"));
    EXPECT_TRUE(contains(no.output(), "\n!!! 入力が終わりました．ファイルは保存しません．"));
    EXPECT_EQ(fileText(path), "old contents\n");
    // the end of the input at the question keeps the file too
    ScriptedSession end(path + "\n");
    *end.settings = tunedSettings();
    EXPECT_FALSE(saveRobotDataFile(end.session));
    EXPECT_EQ(fileText(path), "old contents\n");
    // 'y' replaces it, keeping its permission bits
    chmod(path.c_str(), 0640);
    ScriptedSession yes(path + "\ny");
    *yes.settings = tunedSettings();
    EXPECT_TRUE(saveRobotDataFile(yes.session));
    EXPECT_TRUE(contains(yes.output(), replace + "\nファイル " + path + " に保存しました．"));
    SimSettings back = defaultSettings();
    EXPECT_TRUE(loadRobotDataFile(path, back).ok);
    EXPECT_EQ(back.KH1, 612.5);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(SaveTask, ANameThatCannotBeWrittenGetsItsReasonAndTheQuestionAgain)
{
    const std::string good = writeTempFile("good-name.dat", "");
    std::remove(good.c_str());
    const std::string folder = good.substr(0, good.rfind('/'));
    const std::string missing = folder + "/no-such-folder/task.dat";
    ScriptedSession p(folder + "\n" + missing + "\n" + good + "\n");
    *p.settings = tunedSettings();
    const SimSettings before = *p.settings;
    EXPECT_TRUE(saveRobotDataFile(p.session));
    const std::string out = p.output();
    const std::string failed = "\n!!! ファイルに保存できません（設定は変わりません）: ";
    EXPECT_TRUE(contains(out, failed + "cannot write '" + folder + "': it is a folder" +
                                  "\n現在の設定をファイル"));
    EXPECT_TRUE(contains(out, failed + "cannot write '" + missing + "': No such file or directory"));
    EXPECT_TRUE(contains(out, "\nファイル " + good + " に保存しました．"));
    EXPECT_EQ(reportOf(*p.settings), reportOf(before));
    // nothing was left in the folder but the good file (no temporary files)
    struct stat st;
    EXPECT_NE(stat((folder + "/no-such-folder").c_str(), &st), 0);
    EXPECT_EQ(stat(good.c_str(), &st), 0);
}

// What is typed at the prompt, line by line: a name with a blank (which
// 'r', reading one word, could not read back) or with a control character
// (an arrow key: ESC [ A) is refused with its notice and asked again; an
// empty line ends the save with its notice.
TEST(SaveTask, ANameIsTheWholeLineAndOnlyOneThatRCanReadBackIsTaken)
{
    const std::string good = writeTempFile("line-name.dat", "");
    const std::string folder = good.substr(0, good.rfind('/'));
    struct Case {
        std::string typed;   // the lines typed, `good` ending them where saved
        std::string notice;  // the notice given (before the question again)
        bool saved;
    };
    const std::string blank = "\n!!! ファイル名に空白は使えません（'r' で読み込めなくなります）: '";
    const std::string control = "\n!!! ファイル名に制御文字は使えません: '";
    const std::string empty = "\n!!! ファイル名がありません．ファイルは保存しません．";
    const std::vector<Case> cases = {
        {folder + "/my file.dat\n" + good + "\n", blank + folder + "/my file.dat'", true},
        {folder + "/tab\tname\n" + good + "\n", blank + folder + "/tab\tname'", true},
        {folder + "/\x1b[A\n" + good + "\n", control + folder + "/\\x1b[A'", true},
        {"  " + good + "  \n", "", true},  // blanks at either end are no part of it
        {"\n" + good + "\n", empty, false},
        {"   \n", empty, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        std::remove(good.c_str());
        std::remove((folder + "/my").c_str());
        ScriptedSession p(c.typed);
        *p.settings = tunedSettings();
        EXPECT_EQ(saveRobotDataFile(p.session), c.saved);
        const std::string out = p.output();
        if (!c.notice.empty()) {
            EXPECT_TRUE(contains(out, c.notice + (c.saved ? "\n現在の設定をファイル" : ""))) << out;
        }
        struct stat st;
        EXPECT_EQ(stat(good.c_str(), &st) == 0, c.saved);
        EXPECT_NE(stat((folder + "/my").c_str(), &st), 0) << "the first word was saved";
        if (!c.saved) {
            EXPECT_TRUE(p.unread().size() > 0 || c.typed == "   \n") << "read past the empty line";
        }
    }
}

}  // namespace
}  // namespace hybridsim::testing
