#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "sim/derivation.h"
#include "task/report.h"
#include "task/text_format.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

std::string report(const SimSettings& s)
{
    std::ostringstream out;
    printSettings(s, out);
    return out.str();
}

// U+3000, the ideographic space, spelled out so that it cannot hide.
#define IDSP "\u3000"

TEST(Report, DefaultTaskReadsExactly)
{
    const std::string expected =
        "\n\n******位置制御型ドライバーを持つロボットによるなぞり動作******"
        "\n現在設定している値"
        "\n(1-1) ロボットタイプ   SCARAロボット"
        "\n(1-2) 第1,2アーム長 (l1,l2)=( 0.500, 0.500)[m]"
        "\n      アーム先端・接触子先端位置間距離    wp=  0.200[m]"
        "\n(1-6) ハンドのばね定数" IDSP "          (KH1, KH2)=( 0.051  0.051)[kgf/mm]"
        "\n(2-1) hybrid8:未知物体に対し関節空間で力(Fn,0)を制御"
        "\n(2-2) 接線位置制御系特性 (ωn,ζ,α) =(  5.000[Hz]   1.000   0.000[1/s])"
        "\n      →ゲイン (Kp,Kv,Ki)=(986.9604     62.8319  0.0000)"
        "\n      法線力制御系特性   (ωn,ζ,α) =( 20.000[Hz]   1.000   2.000[1/s])"
        "\n      →ゲイン (Kp,Kv,Ki)=(16294.0219     253.3274 31582.7341)"
        "\n      →先端サーボ剛性 (接線, 法線)=(986.96 16294.02)[N/m]"
        "\n(1-6) ハンドのばね定数 (KH1,  KH2) =(500.00 500.00)[N/m]"
        "\n(3-2) 接触力" IDSP "       Fn=10.000[N]"
        "\n(3-3-4) 正弦波曲線輪郭  移動時間 tf=  4.000[s]"
        "\n       (台形速度運動)   移動速度 vs=  0.259[m/s]"
        "\n                    波長・振幅(L,A)=( 0.600, 0.200)[m]"
        "\n(3-4) ロボット初期位置    (x0,y0) =( 0.200  0.300)[m]"
        "\n(3-5) ロボット終端位置    (xf,yf) =( 0.800  0.300)[m]"
        "\n(3-6) 物体設置誤差(X正方向ずれ) e =   5.00[mm]"
        "\n";
    EXPECT_EQ(report(testing::defaultSettings()), expected);
}

TEST(Report, CylindricalRobotMethod7LineAndCircleLines)
{
    SimSettings s = testing::settingsFor('a', '7', 'L');
    const std::string line = report(s);
    EXPECT_NE(line.find("\n(1-1) ロボットタイプ        円筒座標ロボット"
                        "\n(1-2) アーム長     l =  0.700[m]"),
              std::string::npos);
    EXPECT_NE(line.find("\n(2-1) hybrid7:作業空間で接線方向位置s，法線力Fnを制御"), std::string::npos);
    EXPECT_NE(line.find("\n      法線力制御系特性   (ωn,ζ,α) =( 10.000[Hz]   1.000   5.000[1/s])"
                        "\n      →ゲイン (Kp,Kv,Ki)=(4576.1603     130.6637 19739.2088)"),
              std::string::npos);
    EXPECT_NE(line.find("\n(3-3-1) 直線輪郭    " IDSP "移動時間 tf=  4.000[s]"
                        "\n       (台形速度運動) 移動速度 vs=  0.083[m/s]"
                        "\n(3-4) ロボット初期位置    (x0,y0) =( 0.300  0.000)[m]"
                        "\n(3-5) ロボット終端位置    (xf,yf) =( 0.300  0.300)[m]"),
              std::string::npos);
    EXPECT_EQ(line.find("SCARA"), std::string::npos);

    s.curve = 'C';
    deriveSettings(s);
    const std::string circle = report(s);
    EXPECT_NE(circle.find("\n(3-3-2) 円輪郭" IDSP "    " IDSP " 移動時間 tf=  6.000[s]"
                          "\n       (台形速度運動)  移動速度 vs=  0.291[m/s]"
                          "\n              " IDSP "    " IDSP " 中心位置   =( 0.400  0.000)[m] 半径= 0.250[m]"),
              std::string::npos);
}

TEST(Report, UnknownSelectorsPrintNoneOfTheirLines)
{
    SimSettings s = testing::defaultSettings();
    s.type = 'x';
    s.hybrid = '9';
    s.curve = 'Q';
    const std::string text = report(s);
    EXPECT_EQ(text.find("(1-1)"), std::string::npos);
    EXPECT_EQ(text.find("(1-2)"), std::string::npos);
    EXPECT_EQ(text.find("(2-1)"), std::string::npos);
    EXPECT_EQ(text.find("(3-3-"), std::string::npos);
    EXPECT_NE(text.find("(3-6)"), std::string::npos);
    EXPECT_NE(text.find("      アーム先端"), std::string::npos);
}

TEST(Report, SettingErrorOf12mmAndNegativeValues)
{
    SimSettings s = testing::defaultSettings();
    s.seterror = 0.012;
    s.Fn = -2.5;
    const std::string text = report(s);
    EXPECT_NE(text.find("e =  12.00[mm]"), std::string::npos);
    EXPECT_NE(text.find("Fn=-2.500[N]"), std::string::npos);
}

// The report's lines as this test expects them, each with its own copy of
// the number formats, filled from the settings: a number of any width --
// one digit, negative, large -- must keep the field width the report gives it.
std::string expectedReport(const SimSettings& s)
{
    using hybridsim::format;
    std::string r = "\n\n******位置制御型ドライバーを持つロボットによるなぞり動作******\n現在設定している値";
    if (s.type == 'a') {
        r += "\n(1-1) ロボットタイプ        円筒座標ロボット";
        r += format("\n(1-2) アーム長     l = %6.3f[m]", s.l);
    } else {
        r += "\n(1-1) ロボットタイプ   SCARAロボット";
        r += format("\n(1-2) 第1,2アーム長 (l1,l2)=(%6.3f,%6.3f)[m]", s.l1, s.l2 + s.wp);
    }
    r += format("\n      アーム先端・接触子先端位置間距離    wp= %6.3f[m]", s.wp);
    r += format("\n(1-6) ハンドのばね定数" IDSP "          (KH1, KH2)=(%6.3f %6.3f)[kgf/mm]",
                s.KH1 / 9.8 / 1000.0, s.KH2 / 9.8 / 1000.0);
    r += s.hybrid == '7' ? "\n(2-1) hybrid7:作業空間で接線方向位置s，法線力Fnを制御"
                         : "\n(2-1) hybrid8:未知物体に対し関節空間で力(Fn,0)を制御";
    r += format("\n(2-2) 接線位置制御系特性 (ωn,ζ,α) =(%7.3f[Hz] %7.3f %7.3f[1/s])", s.wn1 / twoPi, s.zeta1,
                s.alpha1);
    r += format("\n      →ゲイン (Kp,Kv,Ki)=(%7.4f     %7.4f %7.4f)", s.Kp1, s.Kv1, s.Ki1);
    r += format("\n      法線力制御系特性   (ωn,ζ,α) =(%7.3f[Hz] %7.3f %7.3f[1/s])", s.wn2 / twoPi, s.zeta2,
                s.alpha2);
    r += format("\n      →ゲイン (Kp,Kv,Ki)=(%7.4f     %7.4f %7.4f)", s.Kp2, s.Kv2, s.Ki2);
    r += format("\n      →先端サーボ剛性 (接線, 法線)=(%6.2f %6.2f)[N/m]", s.Kp1, s.Kp2);
    r += format("\n(1-6) ハンドのばね定数 (KH1,  KH2) =(%6.2f %6.2f)[N/m]", s.KH1, s.KH2);
    r += format("\n(3-2) 接触力" IDSP "       Fn=%6.3f[N]", s.Fn);
    if (s.curve == 'L') {
        r += format("\n(3-3-1) 直線輪郭    " IDSP "移動時間 tf= %6.3f[s]", s.lineTf);
        r += format("\n       (台形速度運動) 移動速度 vs= %6.3f[m/s]", s.vs);
    } else if (s.curve == 'C') {
        r += format("\n(3-3-2) 円輪郭" IDSP "    " IDSP " 移動時間 tf= %6.3f[s]", s.circleTf);
        r += format("\n       (台形速度運動)  移動速度 vs= %6.3f[m/s]", s.vs);
        r += format("\n              " IDSP "    " IDSP " 中心位置   =(%6.3f %6.3f)[m] 半径=%6.3f[m]",
                    s.circleOx, s.circleOy, s.circleR);
    } else {
        r += format("\n(3-3-4) 正弦波曲線輪郭  移動時間 tf= %6.3f[s]", s.sineTf);
        r += format("\n       (台形速度運動)   移動速度 vs= %6.3f[m/s]", s.vs);
        r += format("\n                    波長・振幅(L,A)=(%6.3f,%6.3f)[m]", s.sineL, s.sineA);
    }
    r += format("\n(3-4) ロボット初期位置    (x0,y0) =(%6.3f %6.3f)[m]", s.startX, s.startY);
    r += format("\n(3-5) ロボット終端位置    (xf,yf) =(%6.3f %6.3f)[m]", s.endX, s.endY);
    r += format("\n(3-6) 物体設置誤差(X正方向ずれ) e = %6.2f[mm]", 1000.0 * s.seterror);
    return r + "\n";
}

TEST(Report, EveryNumberOfEveryWidthKeepsItsField)
{
    struct Values {
        const char* what;
        double length, spring, fn, alpha, force, coordinate, size, time, seterror;
    };
    const Values sets[] = {
        {"one digit", 2.0, 5.0, 3.0, 1.0, 5.0, 1.0, 2.0, 6.0, 0.002},
        {"negative", 0.4, 400.0, 2.5, -2.0, -3.5, -1.25, 0.3, 3.0, -0.004},
        {"large", 123.25, 123456.0, 300.0, 40.0, 12345.678, 1234.5, 432.5, 1234.0, 1.5},
    };
    for (const Values& v : sets) {
        for (char type : {'a', 'b'}) {
            for (char hybrid : {'7', '8'}) {
                for (char curve : {'L', 'C', 'S'}) {
                    SCOPED_TRACE(::testing::Message() << v.what << ' ' << type << hybrid << curve);
                    SimSettings s = testing::settingsFor(type, hybrid, curve);
                    s.l = s.l1 = v.length;
                    s.l2 = 2.0 * v.length;
                    s.KH1 = v.spring;
                    s.KH2 = 3.0 * v.spring;
                    s.Fn = v.force;
                    s.seterror = v.seterror;
                    s.lineX0 = s.circleOx = s.sineX0 = v.coordinate;
                    s.lineY0 = s.circleOy = s.sineY0 = -v.coordinate;
                    s.lineXf = 2.0 * v.coordinate;
                    s.lineYf = v.size;
                    s.circleR = s.sineL = v.size;
                    s.sineA = -v.size;
                    s.lineTf = s.circleTf = s.sineTf = v.time;
                    for (double* wn : {&s.wn1Hybrid7, &s.wn2Hybrid7, &s.wn1Hybrid8, &s.wn2Hybrid8})
                        *wn = twoPi * v.fn;
                    for (double* alpha : {&s.alpha1Hybrid7, &s.alpha2Hybrid7, &s.alpha1Hybrid8, &s.alpha2Hybrid8})
                        *alpha = v.alpha;
                    deriveSettings(s);
                    EXPECT_EQ(report(s), expectedReport(s));
                }
            }
        }
    }
}

// The numbers of each line of a report, as its figures: what follows the
// line's first '=', its units in brackets left out.
std::vector<std::vector<std::string>> figuresByLine(const std::string& report)
{
    static const std::regex unit("\\[[^\\]]*\\]");
    static const std::regex number("-?[0-9]+(\\.[0-9]+)?");
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(report);
    for (std::string line; std::getline(in, line);) {
        lines.emplace_back();
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string values = std::regex_replace(line.substr(eq + 1), unit, " ");
        for (std::sregex_iterator m(values.begin(), values.end(), number), end; m != end; ++m)
            lines.back().push_back(m->str());
    }
    return lines;
}

// The English report, the page's, is the console's layout with English
// words: line for line the same figures in the same order and the same
// widths, for every robot, method and contour and numbers of every size;
// and nothing Japanese in it.
TEST(Report, EnglishHasTheSameFiguresLineForLine)
{
    const double sizes[] = {1.0, -2.5, 1234.5};
    for (double size : sizes) {
        for (char type : {'a', 'b'}) {
            for (char hybrid : {'7', '8'}) {
                for (char curve : {'L', 'C', 'S'}) {
                    SCOPED_TRACE(::testing::Message() << size << ' ' << type << hybrid << curve);
                    SimSettings s = testing::settingsFor(type, hybrid, curve);
                    s.l = s.l1 = std::fabs(size);
                    s.KH1 = 400.0 * std::fabs(size);
                    s.Fn = 3.0 * size;
                    s.seterror = 0.001 * size;
                    s.circleOx = s.sineX0 = s.lineX0 = size;
                    s.circleR = s.sineL = std::fabs(size);
                    s.sineA = -size;
                    for (double* alpha : {&s.alpha1Hybrid7, &s.alpha2Hybrid8})
                        *alpha = std::fabs(size);
                    deriveSettings(s);
                    std::ostringstream english;
                    printSettings(s, english, NoticeLanguage::english);
                    const std::string japanese = report(s);
                    EXPECT_EQ(figuresByLine(english.str()), figuresByLine(japanese));
                    // the same line ends, the numbers keep their field widths
                    EXPECT_EQ(english.str().front(), '\n');
                    EXPECT_EQ(english.str().substr(0, 2), japanese.substr(0, 2));
                    EXPECT_EQ(english.str().back(), '\n');
                    // (Greek letters and the arrow are the only letters beyond ASCII)
                    std::string rest = english.str();
                    for (const char* allowed : {"ζ", "α", "→"})
                        for (std::size_t at; (at = rest.find(allowed)) != std::string::npos;)
                            rest.erase(at, std::strlen(allowed));
                    EXPECT_TRUE(std::all_of(rest.begin(), rest.end(), [](char c) { return (c & 0x80) == 0; }))
                        << english.str();
                }
            }
        }
    }
    // every number as the console's format writes it, with its width
    std::ostringstream english;
    printSettings(testing::defaultSettings(), english, NoticeLanguage::english);
    EXPECT_NE(english.str().find("(KH1, KH2)=( 0.051  0.051)[kgf/mm]"), std::string::npos) << english.str();
    EXPECT_NE(english.str().find("(fn,ζ,α) =( 20.000[Hz]   1.000   2.000[1/s])"), std::string::npos);
    EXPECT_NE(english.str().find(" e =   5.00[mm]\n"), std::string::npos);
}

}  // namespace
}  // namespace hybridsim
