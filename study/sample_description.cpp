#include "study/sample_description.h"

#include <algorithm>
#include <cmath>

#include "portable_math/portable_math.h"
#include "study/study_graphs.h"
#include "study/summary.h"
#include "task/text_format.h"

namespace hybridsim {

namespace {

// the samples before the fault, or all
int reachEnd(const SimSettings& s, int faultSample)
{
    const int last = lastSample(s);
    return faultSample >= 0 ? std::min(faultSample - 1, last) : last;
}

}  // namespace

int unreachableSampleCount(const SimSettings& s, const SeriesSet& set, int faultSample)
{
    int n = 0;
    for (int i = 0, end = reachEnd(s, faultSample); i <= end; ++i)
        if (!hasPosture(set, i)) ++n;
    return n;
}

// The figures of sample i:
//   in contact     force > 0 (the summary's reading of the contact)
//   from contour   distanceToContour of the tip (the study graphs' distance)
//   from command   |posErr| = |tip - command point|
std::string describeSample(const SimSettings& s, const SeriesSet& set, int sample, int faultSample,
                           NoticeLanguage language)
{
    const bool ja = language == NoticeLanguage::japanese;
    const int last = lastSample(s);
    const int i = std::clamp(sample, 0, last);
    const std::string t = studyValueText(set.time[i], "s");
    std::string text = ja ? format("t = %s（サンプル %d / %d）。", t.c_str(), i, last)
                          : format("t = %s, sample %d / %d. ", t.c_str(), i, last);

    // the sample shown: its contact, force and distances, or why it has none
    const bool faulted = faultSample >= 0 && i >= faultSample;
    if (hasPosture(set, i)) {
        const double force = set.contactForce[i];
        const std::string f = studyValueText(force, "N");
        const std::string fn = studyValueText(s.Fn, "N");
        const std::string err = studyValueText(set.forceErr[i], "N");
        const Vec2 tip = set.tipPos[i];
        const std::string contour = studyValueText(distanceToContour(s, tip), "mm");
        const std::string command = studyValueText(pmath::hypot(set.posErr[i].x, set.posErr[i].y), "mm");
        // a contact to be in or out of only under contact=spring: on the ideal
        // contact F is the force loop's own state and no contact is modelled
        if (ja) {
            if (s.springContact)
                text += format("%s測定した力 F = %s、Fn = %s（F − Fn = %s）。",
                               force > 0.0 ? "接触しています（F > 0）。" : "接触していません（F ≤ 0）。", f.c_str(),
                               fn.c_str(), err.c_str());
            else
                text += format("力 F = %s、Fn = %s（F − Fn = %s）。理想接触では F は力制御系の状態で、接触は模擬していません"
                               "（contact=spring で模擬します）。",
                               f.c_str(), fn.c_str(), err.c_str());
            text += format("接触子先端は物体の輪郭から %s、指令点から %s の位置にあります。", contour.c_str(),
                           command.c_str());
        } else {
            if (s.springContact)
                text += format("%sthe measured force F = %s against Fn = %s (F − Fn = %s). ",
                               force > 0.0 ? "In contact (F > 0): " : "Not in contact (F ≤ 0): ", f.c_str(), fn.c_str(),
                               err.c_str());
            else
                text += format("The force F = %s against Fn = %s (F − Fn = %s); with the ideal contact F is the force "
                               "loop's own state and no contact is modelled (contact=spring models one). ",
                               f.c_str(), fn.c_str(), err.c_str());
            text += format("The probe tip is %s from the workpiece contour and %s from the command point. ",
                           contour.c_str(), command.c_str());
        }
    } else if (faulted) {
        text += ja ? "このサンプルまでに実行の数値が非数 (NaN) になりました。読める値はありません。"
                   : "By this sample the run's values have overflowed to not-a-number (NaN): there is nothing to read "
                     "here. ";
    } else {
        text += ja ? "このサンプルではロボットの姿勢がありません。点がロボットの届く範囲の外にあるため、先端と力の値はありません。"
                   : "The robot has no posture at this sample: its point is out of reach, and there is no tip or "
                     "force to read. ";
    }

    // the samples without a posture, and whether this is one
    const int unreachable = unreachableSampleCount(s, set, faultSample);
    const int samples = last + 1;
    if (unreachable == 0) {
        text += ja ? "届かない点はありません。" : "No point is out of reach.";
    } else {
        const bool one = !faulted && !hasPosture(set, i);
        if (ja) {
            text += format("%d サンプルのうち %d サンプルは点が届く範囲の外にあり、姿勢がありません。", samples,
                           unreachable);
            text += one ? "このサンプルはその一つです。" : "このサンプルはその一つではありません。";
        } else {
            text += unreachable == 1
                        ? format("1 of the %d samples has no posture: its point is out of reach. ", samples)
                        : format("%d of the %d samples have no posture: their points are out of reach. ",
                                 unreachable, samples);
            text += one ? "This sample is one of them." : "This sample is not one of them.";
        }
    }
    return text;
}

}  // namespace hybridsim
