#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "portable_math/portable_math.h"

namespace {

std::uint64_t bits(double x)
{
    std::uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return u;
}

}  // namespace

// Arguments at which the desktop's C library and the browser's differ in
// the last bit: the portable functions give the browser's value, here as
// natively.  Each expected value is what the page's WebAssembly gives (an
// Emscripten build of the same calls, run in Node); the system's value,
// one unit in the last place away, is written beside it.
TEST(PortableMath, GivesTheBrowserEditionsBitsWhereTheSystemLibraryDiffers)
{
    struct One {
        const char* name;
        double (*f)(double);
        double x, browser, system;
    };
    for (const One& c : {One{"sin", pmath::sin, 0x1.1453801e28a7p+0, 0x1.c36ad4d733e65p-1, 0x1.c36ad4d733e66p-1},
                         One{"sin", pmath::sin, 0x1.216d5173c2daap+3, 0x1.7bff3c461d5cp-2, 0x1.7bff3c461d5c1p-2},
                         One{"cos", pmath::cos, -0x1.a6e726664dce4p+2, 0x1.e540280a9bd98p-1, 0x1.e540280a9bd97p-1},
                         One{"tan", pmath::tan, -0x1.2c9a474459348p-1, -0x1.54ad4d1349518p-1, -0x1.54ad4d1349517p-1},
                         One{"atan", pmath::atan, 0x1.aa8b9afe55174p+1, 0x1.477daa35400dcp+0, 0x1.477daa35400dbp+0},
                         One{"acos", pmath::acos, -0x1.0200b8fe04017p-1, 0x1.0ca957ce6729ep+1, 0x1.0ca957ce6729fp+1},
                         One{"asin", pmath::asin, -0x1.13048d0626092p-1, -0x1.22541110f3806p-1, -0x1.22541110f3807p-1},
                         One{"exp", pmath::exp, -0x1.b4127207e825p+3, 0x1.440a717d18e16p-20, 0x1.440a717d18e17p-20},
                         One{"log", pmath::log, 0x1.d7f1ffc855fdap+9, 0x1.b666918e305dep+2, 0x1.b666918e305dfp+2},
                         One{"log10", pmath::log10, 0x1.f3ea9fbe7c0e9p+1, 0x1.2ef1aa0864e75p-1, 0x1.2ef1aa0864e76p-1}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(bits(c.f(c.x)), bits(c.browser));
        EXPECT_EQ(std::nextafter(c.browser, c.system), c.system) << "one unit in the last place apart";
    }
    struct Two {
        const char* name;
        double (*f)(double, double);
        double x, y, browser;
    };
    for (const Two& c : {Two{"atan2", pmath::atan2, 0x1.90315f232063p-3, -0x1.045211e208a4p-3, 0x1.12e1c094463fap+1},
                         Two{"hypot", pmath::hypot, -0x1.230cf972461ap-2, 0x1.887c3c1310f88p-2, 0x1.e8a0367e95fe8p-2},
                         Two{"pow", pmath::pow, 0x1.19f8087fb3f01p+3, 0x1.ddbbe203bb5p-6, 0x1.10c51247f9cd4p+0}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(bits(c.f(c.x, c.y)), bits(c.browser));
    }
    // the edges keep their meaning
    EXPECT_TRUE(std::isnan(pmath::sin(INFINITY)));
    EXPECT_EQ(pmath::atan2(0.0, -1.0), 0x1.921fb54442d18p+1);
    EXPECT_EQ(pmath::pow(0.0, -1.0), INFINITY);
    EXPECT_EQ(pmath::exp(-1000.0), 0.0);
    EXPECT_EQ(pmath::hypot(INFINITY, NAN), INFINITY);
}

// The code whose numbers the page shows calls the portable functions only:
// one call of std::sin in the model would make the page's run differ from
// the batch runner's in the last digit, for some tasks only.
TEST(PortableMath, TheModelAndItsFiguresCallNoOtherElementaryFunctions)
{
    namespace fs = std::filesystem;
    const std::regex system(R"(std::(sin|cos|tan|asin|acos|atan2?|hypot|exp|log|log10|pow|sinh|cosh|tanh|cbrt|expm1|log1p|log2)\s*\()");
    const fs::path root = HYBRIDSIM_SOURCE_ROOT;
    int files = 0;
    for (const char* dir : {"sim", "study", "web", "app"}) {
        for (const fs::directory_entry& e : fs::recursive_directory_iterator(root / dir)) {
            const std::string ext = e.path().extension().string();
            if (ext != ".cpp" && ext != ".h") continue;
            std::ifstream in(e.path());
            std::stringstream text;
            text << in.rdbuf();
            const std::string s = text.str();
            std::smatch m;
            EXPECT_FALSE(std::regex_search(s, m, system)) << e.path() << ": " << m.str(0);
            ++files;
        }
    }
    EXPECT_GT(files, 40);
}
