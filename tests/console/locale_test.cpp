// The console under other locales: a comma as decimal mark changes no
// number, and a Shift-JIS locale gets its texts in CP932.
#include <gtest/gtest.h>

#include <iconv.h>
#include <langinfo.h>

#include <clocale>
#include <string>

#include "tests/console/console_test_support.h"

namespace hybridsim::testing {
namespace {

// CP932 bytes back to UTF-8 (empty when they do not convert).
std::string fromCP932(const std::string& bytes)
{
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return "";
    std::string in = bytes;
    std::string out(bytes.size() * 3 + 16, '\0');
    char* ip = &in[0];
    char* op = &out[0];
    size_t il = in.size(), ol = out.size();
    const size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) return "";
    out.resize(out.size() - ol);
    return out;
}

TEST(Locale, ACommaDecimalMarkChangesNoNumberOnTheConsole)
{
    std::string why;
    ASSERT_TRUE(ensureLocale("de_DE.UTF-8", "de_DE", "UTF-8", why)) << why;
    LocaleScope scope("de_DE.UTF-8");
    ASSERT_TRUE(scope.ok());
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");  // the trap is set

    ScriptedSession p("y\n0.5\ny\n0,5\n");
    *p.settings = defaultSettings();
    p.settings->key = 'e';
    settingsDialogue(p.session);
    EXPECT_EQ(p.settings->seterror, 0.0005);  // "0.5" read as a half
    EXPECT_EQ(p.settings->Fn, 10.0);          // "0,5" is not a number here
    const std::string out = p.output();
    EXPECT_NE(out.find("'0,5'"), std::string::npos);
    EXPECT_NE(out.find("(l1,l2)=( 0.500, 0.500)[m]"), std::string::npos);
    EXPECT_NE(out.find("e =   0.50[mm]"), std::string::npos);
}

TEST(Locale, AShiftJisLocaleGetsEveryTextInCP932)
{
    std::string why;
    ASSERT_TRUE(ensureLocale("ja_JP.SJIS", "ja_JP", "SHIFT_JIS", why)) << why;
    const char* before = std::getenv("LC_ALL");
    const std::string saved = before ? before : "";
    setenv("LC_ALL", "ja_JP.SJIS", 1);
    const Encoding encoding = encodingFromEnvironment();
    std::setlocale(LC_ALL, "C");
    if (before) {
        setenv("LC_ALL", saved.c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
    ASSERT_EQ(encoding, Encoding::cp932);

    // the same keys, once for a UTF-8 and once for a Shift-JIS terminal
    const std::string keys = "na7L" "y" "y\n600 700\n" "n";
    ScriptedSession utf8(keys);
    startUp(utf8.session);
    settingsDialogue(utf8.session);
    ScriptedSession sjis(keys, false, encoding);
    startUp(sjis.session);
    settingsDialogue(sjis.session);

    const std::string out = sjis.output();
    EXPECT_EQ(out.find("ロボット"), std::string::npos);
    EXPECT_NE(out.find("\x83\x8D\x83\x7B\x83\x62\x83\x67"), std::string::npos);  // ロボット
    EXPECT_EQ(fromCP932(out), utf8.output());
    EXPECT_EQ(sjis.settings->KH2, 700.0);
}

TEST(Locale, AUtf8OrPlainLocaleKeepsUtf8)
{
    const char* before = std::getenv("LC_ALL");
    const std::string saved = before ? before : "";
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(encodingFromEnvironment(), Encoding::utf8);
    setenv("LC_ALL", "C.UTF-8", 1);
    EXPECT_EQ(encodingFromEnvironment(), Encoding::utf8);
    std::setlocale(LC_ALL, "C");
    if (before) {
        setenv("LC_ALL", saved.c_str(), 1);
    } else {
        unsetenv("LC_ALL");
    }
}

}  // namespace
}  // namespace hybridsim::testing
