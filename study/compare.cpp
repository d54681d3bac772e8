#include "study/compare.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "portable_math/portable_math.h"
#include "study/summary.h"
#include "task/task_setting.h"
#include "task/text_format.h"

namespace hybridsim {
namespace {

// --- settings ---

// The gains of the method in force: under another method they are
// another method's settings.
bool isMethodGain(const TaskField& f)
{
    for (const char* gain : {"fn1", "alpha1", "fn2", "alpha2"})
        if (std::strcmp(f.name, gain) == 0) return true;
    return false;
}

// Whether field f means the same setting in tasks a and b: the selector it
// belongs to (robot for the lengths, method for the gains, contour for the
// contour's numbers) is the same in both.
bool sameMeaning(const TaskField& f, const SimSettings& a, const SimSettings& b)
{
    if (f.robot != 0 && a.type != b.type) return false;
    if (f.contour != 0 && a.curve != b.curve) return false;
    if (isMethodGain(f) && a.hybrid != b.hybrid) return false;
    return true;
}

// "10 N", "7": a value with its unit.
std::string withUnit(const std::string& value, const std::string& unit)
{
    return unit.empty() ? value : value + " " + unit;
}

// --- summaries ---

// "     1.234 mm  at 2.040 s  (sample 51)", or "      none".
std::string atSample(double value, double scale, const char* unit, double time, int sample)
{
    if (sample < 0) return "      none  (no sample to compare)";
    return format("%10.3f %s  at %.3f s  (sample %d)", plainNan(scale * value), unit, plainNan(time), sample);
}

}  // namespace

// --- pins ---

int PinSet::pin(const SimSettings& s, const RunSeries& run)
{
    return pin(s, currentSeries(run, s.type));
}

int PinSet::pin(const SimSettings& s, const SeriesSet& series)
{
    std::size_t at = 0;
    int slot = 0;
    replaced_ = size() == pinCapacity;
    if (replaced_) {
        // the oldest makes room
        for (std::size_t k = 0; k < pins_.size(); ++k)
            if (pins_[k].serial < pins_[at].serial) at = k;
        slot = pins_[at].slot;
    } else {
        // the first free slot, the pins staying in slot order
        while (at < pins_.size() && pins_[at].slot == slot) {
            ++at;
            ++slot;
        }
        pins_.emplace(pins_.begin() + static_cast<std::ptrdiff_t>(at));
    }
    Pin& p = pins_[at];
    p.settings = s;
    p.series = series;
    p.slot = slot;
    p.serial = ++serial_;
    return slot;
}

bool PinSet::pinInSlot(const SimSettings& s, const SeriesSet& series, int slot)
{
    if (slot < 0 || slot >= pinCapacity) return false;
    std::size_t at = 0;
    while (at < pins_.size() && pins_[at].slot < slot) ++at;
    if (at < pins_.size() && pins_[at].slot == slot) return false;
    Pin& p = *pins_.emplace(pins_.begin() + static_cast<std::ptrdiff_t>(at));
    p.settings = s;
    p.series = series;
    p.slot = slot;
    p.serial = ++serial_;
    replaced_ = false;
    return true;
}

void PinSet::clear()
{
    pins_.clear();
    serial_ = 0;
    replaced_ = false;
}

void PinSet::remove(int index)
{
    if (index < 0 || index >= size()) return;
    pins_.erase(pins_.begin() + index);
    replaced_ = false;
}

std::uint32_t pinColour(int slot)
{
    static const std::uint32_t colours[pinCapacity] = {0xFF9900, 0xCC00CC, 0x009999, 0x996633};
    return colours[static_cast<std::size_t>(std::clamp(slot, 0, pinCapacity - 1))];
}

// --- differences of settings ---

std::vector<SettingDifference> settingDifferences(const SimSettings& pinned, const SimSettings& other)
{
    std::vector<SettingDifference> out;
    for (const TaskField& f : taskFields()) {
        if (!f.belongsTo(pinned)) continue;
        const std::string value = fieldText(f, pinned);
        const std::string then = fieldText(f, other);
        if (value == then) continue;
        SettingDifference d;
        d.name = f.name;
        d.value = value;
        d.unit = f.unit();
        d.selector = f.isChoice();
        if (sameMeaning(f, pinned, other)) d.other = then;
        out.push_back(d);
    }
    return out;
}

std::string differenceText(const SettingDifference& d, const std::string& word)
{
    std::string text = d.selector ? d.name + " " + d.value : d.name + " = " + withUnit(d.value, d.unit);
    if (!d.other.empty()) text += " (" + word + " " + withUnit(d.other, d.unit) + ")";
    return text;
}

std::string differencesText(const std::vector<SettingDifference>& d, const std::string& word)
{
    if (d.empty()) return "same task as " + word;
    std::string text;
    for (const SettingDifference& one : d) text += (text.empty() ? "" : ", ") + differenceText(one, word);
    return text;
}

std::string pinLabel(int number, const std::vector<SettingDifference>& d,
                     const std::function<bool(const std::string&)>& fits, const std::string& word)
{
    const std::string head = "pin " + std::to_string(number) + ": ";
    if (d.empty()) return head + "same task as " + word;
    // the first k differences, the rest counted
    const std::size_t n = d.size();
    for (std::size_t k = n; k > 0; --k) {
        std::string text = head;
        for (std::size_t i = 0; i < k; ++i) text += (i > 0 ? ", " : "") + differenceText(d[i], word);
        if (k < n) text += ", +" + std::to_string(n - k) + " more";
        if (!fits || fits(text)) return text;
    }
    return head + std::to_string(n) + (n == 1 ? " setting differs" : " settings differ");
}

// --- differences of runs ---

RunDifference compareRuns(const SimSettings& refSettings, const SeriesSet& ref, const SimSettings& s,
                          const SeriesSet& set)
{
    RunDifference d;
    const int last = std::min(lastSample(refSettings), lastSample(s));
    d.samples = last + 1;
    // the first sample of the largest value, and its time
    auto keep = [&](double v, int i, double& max, int& sample, double& time) {
        if (!std::isfinite(v) || (sample >= 0 && !(v > max))) return;
        max = v;
        sample = i;
        time = ref.time[static_cast<std::size_t>(i)];
    };
    for (int i = 0; i <= last; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        if (hasPosture(ref, i) && hasPosture(set, i))
            keep(std::fabs(set.contactForce[k] - ref.contactForce[k]), i, d.forceMax, d.forceSample, d.forceTime);
        keep(pmath::hypot(set.tipPos[k].x - ref.tipPos[k].x, set.tipPos[k].y - ref.tipPos[k].y), i, d.tipMax,
             d.tipSample, d.tipTime);
        keep(std::fabs(set.sErr[k] - ref.sErr[k]), i, d.sErrMax, d.sErrSample, d.sErrTime);
    }
    return d;
}

// --- the summary of compared runs ---

void printComparedSummaries(const std::vector<ComparedRun>& runs, std::ostream& out)
{
    if (runs.empty()) return;
    const ComparedRun& ref = runs.front();
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const ComparedRun& r = runs[i];
        if (i > 0) out << "\n";
        std::string about = r.about;
        if (i > 0) about = differencesText(settingDifferences(*r.settings, *ref.settings), ref.name);
        out << "run " << r.name << (about.empty() ? "" : ": " + about) << "\n";
        printSummary(*r.settings, summarizeRun(*r.settings, *r.series), out);
        if (i == 0) continue;
        const RunDifference d = compareRuns(*ref.settings, *ref.series, *r.settings, *r.series);
        out << summaryLine("largest |F - F of " + ref.name + "|",
                           atSample(d.forceMax, 1.0, "N", d.forceTime, d.forceSample));
        out << summaryLine("largest distance of the tip from " + ref.name + "'s tip",
                           atSample(d.tipMax, 1000.0, "mm", d.tipTime, d.tipSample));
        out << summaryLine("largest |sErr - sErr of " + ref.name + "|",
                           atSample(d.sErrMax, 1000.0, "mm", d.sErrTime, d.sErrSample));
    }
}

std::string comparedCsvHeader(bool contact)
{
    return "run," + summaryCsvHeader(contact) +
           ",force_diff_max_N,force_diff_t_s,tip_dist_max_m,tip_dist_t_s,s_err_diff_max_m,s_err_diff_t_s";
}

void printComparedSummariesCsv(const std::vector<ComparedRun>& runs, std::ostream& out)
{
    // the contact's columns when any run is under contact=spring
    bool contact = false;
    for (const ComparedRun& r : runs) contact = contact || r.settings->springContact;
    out << comparedCsvHeader(contact) << "\n";
    if (runs.empty()) return;
    const ComparedRun& ref = runs.front();
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const ComparedRun& r = runs[i];
        out << csvField(r.name) << ',' << summaryCsvRow(*r.settings, summarizeRun(*r.settings, *r.series), contact);
        if (i == 0) {
            out << ",,,,,,\n";
            continue;
        }
        const RunDifference d = compareRuns(*ref.settings, *ref.series, *r.settings, *r.series);
        for (double v : {d.forceMax, d.forceTime, d.tipMax, d.tipTime, d.sErrMax, d.sErrTime})
            out << ',' << exactNumber(v);
        out << "\n";
    }
}

}  // namespace hybridsim
