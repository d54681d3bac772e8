// A long session: 1,000 dialogue passes on one console, entered as the
// window enters them, alternating robots, methods and contours.  The passes
// must neither leak nor slow down: the heap holds no more after the last
// pass than after the first hundred, the sanitizer build's leak check finds
// nothing, and the last hundred passes take as long as the first hundred of
// a fresh session run between them (medians, within noise).
#include <gtest/gtest.h>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "task/messages.h"
#include "tests/console/console_test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace hybridsim::testing {
namespace {

constexpr int passes = 1000;
constexpr int window = 100;  // passes compared at the start and at the end

// Bytes the program holds on the heap now.
size_t heapInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// The key and the answers of pass `i`: robot a or b (the window's key
// selects it), then method 7 or 8 and the line, circle or sine chosen in
// the dialogue, the contour recomputed, a setting error of +5 or -5 mm and
// a new contact force.
struct Pass {
    char key;
    std::string answers;
};

Pass passNumber(int i)
{
    const char robot = i % 2 == 0 ? 'a' : 'b';
    const char method = (i / 2) % 2 == 0 ? '7' : '8';
    const char contour = "LCS"[i % 3];
    const std::string error = i % 4 < 2 ? "5" : "-5";
    const std::string force = std::to_string(8 + i % 5);
    // Q0 y, springs z, method y + key, gains z, contour y + key,
    // parameters: any other key recomputes, setting error, force
    return {robot, std::string("yzy") + method + "zy" + contour + "x" + "y\n" + error + "\ny\n" + force + "\n"};
}

// The processor time this thread has used [s]: unlike the wall clock it
// does not grow while other programs have the processor, so a busy machine
// does not make the late passes look slower.
double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : 0.5 * (v[v.size() / 2 - 1] + v[v.size() / 2]);
}

TEST(LongSession, AThousandPassesNeitherLeakNorSlowDown)
{
    std::string script = "nb8S";  // start-up: robot b, method 8, the sine
    std::string freshScript = script;
    std::vector<Pass> plan;
    for (int i = 0; i < passes; ++i) {
        plan.push_back(passNumber(i));
        script += plan.back().answers;
        if (i < window) freshScript += plan.back().answers;
    }
    // The long session, and a fresh one whose first passes run between the
    // long one's last passes: both meet the same load of the machine, so a
    // busy spell at the end cannot pass for a slowdown of the program.
    ScriptedSession p(script);
    ScriptedSession fresh(freshScript);
    startUp(p.session);
    startUp(fresh.session);
    SimSettings& s = *p.settings;

    auto timedPass = [&](ScriptedSession& q, int i) {
        // the window's key: a and b select the robot before the dialogue
        q.settings->type = plan[static_cast<size_t>(i)].key;
        q.settings->key = plan[static_cast<size_t>(i)].key;
        const double start = threadCpuSeconds();
        settingsDialogue(q.session);
        return threadCpuSeconds() - start;
    };

    std::vector<double> seconds;
    std::vector<double> freshSeconds;
    size_t heapAfterWarmUp = 0;
    long freshGrowth = 0;
    for (int i = 0; i < passes; ++i) {
        seconds.push_back(timedPass(p, i));

        // each pass took its answers: the selections and values it typed
        ASSERT_EQ(s.hybrid, (i / 2) % 2 == 0 ? '7' : '8') << "pass " << i;
        ASSERT_EQ(s.curve, "LCS"[i % 3]) << "pass " << i;
        ASSERT_EQ(s.Fn, static_cast<double>(8 + i % 5)) << "pass " << i;
        ASSERT_NE(p.output().find(msg::toWindow), std::string::npos) << "pass " << i;
        // the console's output is not kept: what the program holds is measured
        p.console.out.str("");
        if (i + 1 == window) heapAfterWarmUp = heapInUse();

        if (i >= passes - window) {
            const int j = i - (passes - window);
            // (what the fresh session's first runs allocate is not the long session's growth)
            const size_t before = heapInUse();
            freshSeconds.push_back(timedPass(fresh, j));
            ASSERT_EQ(fresh.settings->Fn, static_cast<double>(8 + j % 5)) << "fresh pass " << j;
            fresh.console.out.str("");
            freshGrowth += static_cast<long>(heapInUse()) - static_cast<long>(before);
        }
    }
    EXPECT_EQ(p.unread().find_first_not_of(" \n"), std::string::npos) << "answers were left";

    const double first = median(freshSeconds);
    const double last = median(std::vector<double>(seconds.end() - window, seconds.end()));
    const double ratio = last / first;
    const long heapGrowth = static_cast<long>(heapInUse()) - static_cast<long>(heapAfterWarmUp) - freshGrowth;
    std::printf("long session: %d passes, median of the first %d (of a fresh session, run between "
                "the last ones) %.3f ms, of the last %d %.3f ms, "
                "ratio %.3f; heap growth after pass %d: %ld bytes\n",
                passes, window, first * 1e3, window, last * 1e3, ratio, window, heapGrowth);
    RecordProperty("first_median_ms", std::to_string(first * 1e3));
    RecordProperty("last_median_ms", std::to_string(last * 1e3));
    RecordProperty("ratio", std::to_string(ratio));
    EXPECT_LT(ratio, 1.5) << "the last passes are slower than the first";
    EXPECT_LT(heapGrowth, 64 * 1024) << "the heap grows with the passes";
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "memory was lost during the session";
#endif
}

}  // namespace
}  // namespace hybridsim::testing
