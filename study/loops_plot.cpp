#include "study/loops_plot.h"

#include <algorithm>

#include "study/design_map.h"
#include "study/loops_chart.h"
#include "study/response_chart.h"
#include "study/root_locus.h"
#include "study/summary.h"

namespace hybridsim {
namespace {

// the panels of `part` into `all`, each as tall as its chart made it, and
// its keys that `all` does not have yet
void append(Chart& all, Chart part)
{
    for (ChartPanel& p : part.panels) {
        if (p.height == 0.0) p.height = part.panelHeight;
        all.panels.push_back(std::move(p));
    }
    for (const ChartKey& k : part.keys) {
        const bool known = std::any_of(all.keys.begin(), all.keys.end(), [&](const ChartKey& h) {
            return h.label == k.label && h.colour == k.colour && h.dashed == k.dashed && h.dotted == k.dotted &&
                   h.mark == k.mark;
        });
        if (!known) all.keys.push_back(k);
    }
}

}  // namespace

std::vector<std::string> plottedLoci(const SimSettings& s)
{
    std::vector<std::string> loci{"fn2", "alpha2"};
    if (s.springContact) loci.push_back("ratio");
    if (s.springContact && s.controlPeriod > 0.0) loci.push_back("period");
    return loci;
}

Chart loopsFiguresChart(const SimSettings& s, const SeriesSet& set, const std::vector<OtherRun>& others, double width)
{
    Chart c;
    c.title = summaryTitle(s);
    c.subtitle = "the control loops: force step, poles, frequency response, root loci";
    c.columns = 1;
    c.accessibleName = "the control loops' figures";
    const RunSummary summary = summarizeRun(s, set);
    append(c, loopsStepChart(s, set, summary, stepView(s, set, false), others, width));
    append(c, loopsPolesChart(s, others, width));
    append(c, loopsZPlaneChart(s, others, width));
    append(c, responseChart(s, others, width));
    for (const std::string& name : plottedLoci(s)) {
        LocusQuantity q = LocusQuantity::fn2;
        locusQuantityFromName(name, q);
        append(c, rootLocusChart(s, q, others, width));
    }
    // one width for all: the widest panel's
    c.panelWidth = std::max(240.0, width) - 32.0;
    return c;
}

std::string loopsFiguresSvg(const SimSettings& s, const SeriesSet& set, const std::vector<OtherRun>& others,
                            const std::vector<Goal>& goals, double width)
{
    const DesignMap map = designMap(s, DesignMapRequest{}, goals);
    std::vector<MapMark> marks;
    for (const OtherRun& o : others)
        if (o.settings) marks.push_back({designValue(*o.settings, "fn2"), designValue(*o.settings, "alpha2"), o.name, o.colour});
    return stackedSvg({chartSvg(loopsFiguresChart(s, set, others, width)), designMapSvg(map, marks, width)},
                      "the control loops' figures and the design map");
}

}  // namespace hybridsim
