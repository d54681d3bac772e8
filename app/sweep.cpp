#include "app/sweep.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include <unistd.h>

#include "portable_math/portable_math.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

// Results kept waiting for their turn, per thread.
constexpr std::size_t waitingPerJob = 8;
// How often the calling thread looks up while it waits.
constexpr auto tickInterval = std::chrono::milliseconds(100);
// A range's step must be at least this share of its larger end: its values
// then differ by dozens of the last bits a double has.
constexpr double closestValues = 1e-14;
// The progress line: shown after this long, rewritten at most this often.
constexpr auto progressDelay = std::chrono::seconds(1);
constexpr auto progressInterval = std::chrono::milliseconds(200);

// Notices written as lines, as one line: each line trimmed, joined by blanks.
std::string oneLine(const std::string& text)
{
    std::string out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const std::size_t begin = line.find_first_not_of(" \t\r");
        if (begin == std::string::npos) continue;
        const std::size_t end = line.find_last_not_of(" \t\r");
        out += (out.empty() ? "" : " ") + line.substr(begin, end - begin + 1);
    }
    return out;
}

// A whole token as a whole number.
bool parseCount(const std::string& token, long long& value)
{
    if (token.empty() || token.find_first_not_of("0123456789") != std::string::npos) return false;
    errno = 0;
    value = std::strtoll(token.c_str(), nullptr, 10);
    return errno == 0;
}

bool knownName(const std::string& name)
{
    const std::vector<std::string> names = taskSettingNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string joined(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
    return out;
}

// The settings of task `index`: the first axis outermost.
std::vector<Setting> sweptSettings(const std::vector<SweepAxis>& axes, std::size_t index)
{
    std::vector<Setting> swept(axes.size());
    for (std::size_t a = axes.size(); a-- > 0;) {
        const std::size_t n = axes[a].size();
        swept[a] = {axes[a].name, axes[a].value(index % n)};
        index /= n;
    }
    return swept;
}

std::vector<std::string> valuesOf(const std::vector<Setting>& swept)
{
    std::vector<std::string> values;
    for (const Setting& v : swept) values.push_back(v.value);
    return values;
}

}  // namespace

bool parseSweepAxis(const std::string& argument, SweepAxis& axis, std::string& error)
{
    const std::string forms = "NAME=FROM:TO:COUNT or NAME=V1,V2,...";
    const std::size_t eq = argument.find('=');
    if (eq == std::string::npos || eq == 0) {
        error = "--sweep needs " + forms + " (got '" + shownText(argument) + "')";
        return false;
    }
    axis = SweepAxis{};
    axis.name = argument.substr(0, eq);
    const std::string values = argument.substr(eq + 1);
    const std::string given = "--sweep " + shownText(argument) + ": ";
    if (!knownName(axis.name)) {
        error = given + "unknown name '" + shownText(axis.name) + "'; the names are " + joined(taskSettingNames());
        return false;
    }
    if (values.empty()) {
        error = given + "no values; give " + forms;
        return false;
    }

    // FROM:TO:COUNT: evenly spaced, both ends included
    if (values.find(':') != std::string::npos) {
        std::vector<std::string> parts;
        std::istringstream in(values);
        for (std::string p; std::getline(in, p, ':');) parts.push_back(p);
        if (parts.size() != 3 || values.back() == ':') {
            error = given + "a range is FROM:TO:COUNT";
            return false;
        }
        double from = 0.0, to = 0.0;
        if (!parseDouble(parts[0], from) || !std::isfinite(from) || !parseDouble(parts[1], to) ||
            !std::isfinite(to)) {
            error = given + "FROM and TO of a range must be finite numbers";
            return false;
        }
        long long count = 0;
        if (!parseCount(parts[2], count) || count < 2 || count > static_cast<long long>(sweepMaxTasks)) {
            error = given + format("COUNT must be a whole number from 2 to %zu", sweepMaxTasks);
            return false;
        }
        if (!std::isfinite(to - from)) {
            error = given + "TO - FROM is not a finite number";
            return false;
        }
        // values that the numbers cannot tell apart would be one value twice
        const double step = (to - from) / static_cast<double>(count - 1);
        if (step != 0.0 && std::fabs(step) < closestValues * std::max(std::fabs(from), std::fabs(to))) {
            error = given + "the values lie closer together than the numbers can tell apart; "
                            "give a smaller COUNT or a wider range";
            return false;
        }
        axis.from = from;
        axis.to = to;
        axis.count = static_cast<std::size_t>(count);
        return true;
    }

    // V1,V2,...: the values as given
    std::size_t at = 0;
    while (true) {
        const std::size_t comma = values.find(',', at);
        const std::string v = values.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        if (v.empty()) {
            error = given + "an empty value in the list";
            return false;
        }
        axis.list.push_back(v);
        if (axis.list.size() > sweepMaxTasks) {
            error = given + format("more than %zu values", sweepMaxTasks);
            return false;
        }
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return true;
}

std::string SweepAxis::value(std::size_t i) const
{
    if (!list.empty()) return list.at(i);
    if (i == 0) return shortestNumber(from);
    if (i + 1 >= count) return shortestNumber(to);
    const double v = from + (to - from) * static_cast<double>(i) / static_cast<double>(count - 1);
    // 12 digits after the larger end's first one: what the rounding of the
    // steps leaves (0.30000000000000004, 1.7e-18 for 0) is dropped; and two
    // digits below the step's first one, where that is finer, so that no
    // two values round to one (1:1.0000000000001:3)
    const double scale = std::max(std::fabs(from), std::fabs(to));
    if (scale == 0.0) return "0";
    const int lead = static_cast<int>(std::floor(pmath::log10(scale)));
    const double step = std::fabs(to - from) / static_cast<double>(count - 1);
    int digits = 13;
    if (step > 0.0) digits = std::max(digits, lead - static_cast<int>(std::floor(pmath::log10(step))) + 2);
    digits = std::min(digits, 17);
    const std::string text =
        lead >= -280 && lead <= 12 ? format("%.*f", digits - 1 - lead, v) : format("%.*e", digits - 1, v);
    double rounded = 0.0;
    parseDouble(text, rounded);
    return shortestNumber(rounded + 0.0);  // + 0.0: no "-0"
}

std::vector<std::string> SweepAxis::values() const
{
    std::vector<std::string> all;
    for (std::size_t i = 0; i < size(); ++i) all.push_back(value(i));
    return all;
}

std::size_t sweepTaskCount(const std::vector<SweepAxis>& axes)
{
    std::size_t n = axes.empty() ? 0 : 1;
    for (const SweepAxis& a : axes) n *= a.size();
    return n;
}

bool sweepHasContact(const SimSettings& base, const std::vector<SweepAxis>& axes)
{
    if (base.springContact) return true;
    for (const SweepAxis& a : axes)
        if (a.name == "contact") return true;
    return false;
}

std::string sweepCsvHeader(const std::vector<SweepAxis>& axes, bool contact)
{
    std::string header;
    // the swept columns named apart from the summary's own (robot, contour, ...)
    for (const SweepAxis& a : axes) header += csvField(sweepColumnPrefix + a.name) + ",";
    return header + summaryCsvHeader(contact) + ",status";
}

std::string sweepCsvRow(const SweepTaskResult& r, bool contact)
{
    std::string row;
    for (const std::string& v : r.values) row += csvField(v) + ",";
    if (r.computed) {
        row += r.row;
    } else {
        // as many empty fields as the summary has columns
        const std::string header = summaryCsvHeader(contact);
        row += std::string(static_cast<std::size_t>(std::count(header.begin(), header.end(), ',')), ',');
    }
    return row + "," + csvField(r.status);
}

SweepTaskResult computeSweepTask(const SimSettings& base, const std::vector<SweepAxis>& axes,
                                 std::size_t index, bool keepForce, SimSettings& work, RunSeries& run)
{
    SweepTaskResult r;
    const std::vector<Setting> swept = sweptSettings(axes, index);
    r.values = valuesOf(swept);

    work = base;
    const SettingChange change = applySettings(work, swept);
    if (!change.ok) {
        r.status = "refused: " + change.message;
        return r;
    }
    // the steps of a single run, the notices into the task's own text
    std::ostringstream notices;
    deriveTask(work, notices);
    runTask(work, run, notices);
    const SeriesSet& set = currentSeries(run, work.type);
    r.summary = summarizeRun(work, set);
    r.row = summaryCsvRow(work, r.summary, sweepHasContact(base, axes));
    r.computed = true;
    r.Fn = work.Fn;
    const std::string said = oneLine(notices.str());
    r.status = said.empty() ? "ok" : "notice: " + said;
    if (keepForce) {
        r.time.assign(set.time.begin(), set.time.begin() + r.summary.samples);
        r.force = contactForceInReach(work, set);
    }
    return r;
}

namespace {

// computeSweepTask, or a row that says why it could not be computed (memory
// ran out, say): the sweep goes on
SweepTaskResult computeOrFailed(const SimSettings& base, const std::vector<SweepAxis>& axes, std::size_t index,
                                bool keepForce, SimSettings& work, RunSeries& run)
{
    try {
        return computeSweepTask(base, axes, index, keepForce, work, run);
    } catch (const std::exception& e) {
        SweepTaskResult r;
        r.values = valuesOf(sweptSettings(axes, index));
        r.status = std::string("failed: ") + e.what();
        return r;
    }
}

// up to `count` threads running `body`: as many as the system starts
std::vector<std::thread> startThreads(std::size_t count, const std::function<void()>& body)
{
    std::vector<std::thread> pool;
    for (std::size_t t = 0; t < count; ++t) {
        try {
            pool.emplace_back(body);
        } catch (const std::system_error&) {
            break;  // the threads that started do the work
        }
    }
    return pool;
}

}  // namespace

void runSweep(const SimSettings& base, const std::vector<SweepAxis>& axes, int jobs, bool keepForce,
              const std::function<bool(SweepTaskResult&)>& take,
              const std::function<void(std::size_t done, std::size_t total)>& tick)
{
    const std::size_t total = sweepTaskCount(axes);
    const std::size_t threads = std::max<std::size_t>(1, std::min<std::size_t>(static_cast<std::size_t>(jobs), total));
    const std::size_t window = threads * waitingPerJob;

    // the results in their turn: slot i % window holds task i until handed over
    std::mutex mutex;
    std::condition_variable resultReady;
    std::condition_variable slotFree;
    std::vector<std::optional<SweepTaskResult>> slots(window);
    std::size_t claimed = 0;  // tasks given to a thread
    std::size_t handed = 0;   // tasks handed over in order
    bool stop = false;

    // one thread: its own settings record and run (the run is large: on the heap)
    auto worker = [&] {
        auto work = std::make_unique<SimSettings>();
        auto run = std::make_unique<RunSeries>();
        while (true) {
            std::size_t index = 0;
            {
                std::unique_lock<std::mutex> lock(mutex);
                slotFree.wait(lock, [&] { return stop || claimed >= total || claimed < handed + window; });
                if (stop || claimed >= total) return;
                index = claimed++;
            }
            SweepTaskResult r = computeOrFailed(base, axes, index, keepForce, *work, *run);
            {
                std::lock_guard<std::mutex> lock(mutex);
                slots[index % window] = std::move(r);
            }
            resultReady.notify_all();
        }
    };
    std::vector<std::thread> pool = startThreads(threads, worker);

    // hand the results over in order; with no thread at all, compute here
    std::unique_ptr<SimSettings> work;
    std::unique_ptr<RunSeries> run;
    for (std::size_t i = 0; i < total; ++i) {
        SweepTaskResult r;
        if (pool.empty()) {
            if (!run) {
                work = std::make_unique<SimSettings>();
                run = std::make_unique<RunSeries>();
            }
            r = computeOrFailed(base, axes, i, keepForce, *work, *run);
        } else {
            std::unique_lock<std::mutex> lock(mutex);
            while (!slots[i % window])
                if (!resultReady.wait_for(lock, tickInterval, [&] { return slots[i % window].has_value(); })) {
                    lock.unlock();
                    tick(handed, total);
                    lock.lock();
                }
            r = std::move(*slots[i % window]);
            slots[i % window].reset();
            ++handed;
        }
        slotFree.notify_all();
        const bool more = take(r);
        tick(i + 1, total);
        if (!more) break;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true;
    }
    slotFree.notify_all();
    for (std::thread& t : pool) t.join();
}

SweepProgress::SweepProgress(std::ostream& err, bool terminal, Clock::time_point start)
    : err_(err), terminal_(terminal), useSignals_(terminal && err.rdbuf() == std::cerr.rdbuf()),
      start_(start), shown_(start)
{
}

namespace {

// The width of the progress line on the process's standard error, for a
// signal handler to clear it (0: none shown).
volatile std::sig_atomic_t shownWidth = 0;

void publish(bool terminal, std::size_t width)
{
    if (terminal) shownWidth = static_cast<std::sig_atomic_t>(std::min<std::size_t>(width, 128));
}

}  // namespace

void clearSweepProgressNow()
{
    const std::size_t width = static_cast<std::size_t>(shownWidth);
    if (width == 0) return;
    static const char blanks[] =
        "\r                                                                "
        "                                                                \r";
    // "\r", as many blanks as the line has, "\r"
    ssize_t rc = ::write(STDERR_FILENO, blanks, width + 1);
    rc = ::write(STDERR_FILENO, blanks + sizeof blanks - 2, 1);
    (void)rc;
    shownWidth = 0;
}

void SweepProgress::update(std::size_t done, std::size_t total, Clock::time_point now)
{
    if (!terminal_ || now - start_ < progressDelay) return;
    if (width_ > 0 && now - shown_ < progressInterval) return;
    const std::string line = format("hybridsim-batch: sweep: %zu of %zu tasks", done, total);
    // the line rewritten in place, what is left of a longer one blanked; its
    // width is known to a signal handler before any of it is on the screen
    const std::size_t before = width_;
    width_ = std::max(width_, line.size());
    publish(useSignals_, width_);
    err_ << ('\r' + line + std::string(before > line.size() ? before - line.size() : 0, ' ')) << std::flush;
    shown_ = now;
}

void SweepProgress::finish()
{
    if (width_ == 0) return;
    err_ << '\r' << std::string(width_, ' ') << '\r' << std::flush;
    width_ = 0;
    publish(useSignals_, 0);
}

}  // namespace hybridsim
