#include "web/loops_figures.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <nlohmann/json.hpp>

#include "study/loops_plot.h"
#include "study/response_chart.h"
#include "study/root_locus.h"
#include "study/svg_chart.h"

namespace hybridsim {
namespace {

using Json = nlohmann::ordered_json;

std::string jsonText(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

// a number, or null where it is none
Json number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

Json poleJson(const Pole& p)
{
    return std::isfinite(p.re) && std::isfinite(p.im) ? Json::array({p.re, p.im}) : Json(nullptr);
}

Json readingJson(const ResponseReading& r)
{
    return r.computed ? Json{{"dB", r.decibels}, {"deg", r.degrees}} : Json(nullptr);
}

}  // namespace

std::string responseChartJson(const SimSettings& s, const std::vector<OtherRun>& others, double width)
{
    const Chart chart = responseChart(s, others, width);
    const ChartLayout layout = chartLayout(chart);
    Json out;
    out["svg"] = chartSvg(chart);
    out["width"] = layout.width;
    out["height"] = layout.height;
    Json& panels = out["panels"] = Json::array();
    for (std::size_t i = 0; i < layout.panels.size() && i < responsePanels.size(); ++i) {
        const PanelLayout& p = layout.panels[i];
        panels.push_back({{"system", responsePanels[i].system},
                          {"magnitude", responsePanels[i].magnitude},
                          {"x0", p.x0},
                          {"x1", p.x1},
                          {"y0", p.y0},
                          {"y1", p.y1},
                          {"lo", p.xs.lo},
                          {"hi", p.xs.hi},
                          {"ylo", p.ys.lo},
                          {"yhi", p.ys.hi}});
    }
    const std::array<LoopResponse, 2> responses = loopResponses(s);
    out["sampled"] = responses[1].sampled.computed;
    Json& loops = out["loops"] = Json::array();
    for (const LoopResponse& l : responses) {
        const FrequencyRange range = responseRange(l);
        loops.push_back({{"system", l.system}, {"low", range.low}, {"high", range.high}});
    }
    return jsonText(out);
}

std::string responseAtJson(const SimSettings& s, int system, double hz)
{
    const LoopReading r = readLoop(s, system, hz);
    Json out;
    out["system"] = system;
    out["hz"] = number(hz);
    out["designed"] = readingJson(r.designed);
    out["model"] = readingJson(r.model);
    out["sampled"] = readingJson(r.sampled);
    return jsonText(out);
}

std::string locusChartJson(const SimSettings& s, const std::string& quantity, const std::vector<OtherRun>& others,
                           double width)
{
    LocusQuantity q = LocusQuantity::fn2;
    const bool known = locusQuantityFromName(quantity, q);
    const RootLocus l = rootLocus(s, q);
    Json out;
    out["svg"] = chartSvg(rootLocusChart(s, q, others, width));
    out["quantity"] = locusQuantityName(q);
    out["computed"] = known && l.computed;
    out["none"] = known ? l.none : "no such quantity: " + quantity.substr(0, 40);
    out["zPlane"] = l.zPlane;
    out["current"] = number(l.current);
    out["values"] = l.values;
    Json& branches = out["branches"] = Json::array();
    for (const auto& b : l.branches) {
        Json& one = branches.emplace_back(Json::array());
        for (const Pole& p : b) one.push_back(poleJson(p));
    }
    Json& at = out["at"] = Json::array();
    for (const Pole& p : l.at) at.push_back(poleJson(p));
    out["quantities"] = plottedLoci(s);
    return jsonText(out);
}

}  // namespace hybridsim
