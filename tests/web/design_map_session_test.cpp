// The page's design map through the session: the JSON the page reads a
// pointer's design from, the goals it checks and leaves out, the pins.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <nlohmann/json.hpp>

#include "web/web_session.h"

namespace hybridsim {
namespace {

using Json = nlohmann::json;

// The frame maps the plot area's corners to the axes' ends, the current
// design inside; the values are the grid's, the goals split as the map
// checks them, a pin's design drawn; a range given is kept; a plane or a
// figure of none of those is refused in words.
TEST(WebSessionDesignMap, TheJsonGivesTheFrameTheValuesAndTheGoals)
{
    WebSession w;
    ASSERT_EQ(w.addGoal("settling_t_s < 0.4"), "");
    ASSERT_EQ(w.addGoal("pos_err_max_m < 0.01"), "");
    ASSERT_TRUE(w.pin().message.find("pin 1") != std::string::npos);
    ASSERT_TRUE(w.set("fn2", "25").ok);
    const Json j = Json::parse(w.designMapJson(500, 0, 1));
    ASSERT_FALSE(j.contains("error"));
    const int columns = j["columns"], rows = j["rows"];
    EXPECT_GE(columns, 60);
    EXPECT_GE(rows, 60);
    ASSERT_EQ(j["values"].size(), static_cast<std::size_t>(columns * rows));
    ASSERT_EQ(j["pass"].size(), static_cast<std::size_t>(columns * rows));
    EXPECT_EQ(j["figure"]["column"], "settling_t_s");
    EXPECT_EQ(j["x"]["name"], "fn2");
    EXPECT_EQ(j["y"]["name"], "alpha2");
    EXPECT_TRUE(j["x"]["log"].get<bool>());
    EXPECT_FALSE(j["y"]["log"].get<bool>());
    EXPECT_DOUBLE_EQ(j["current"]["x"].get<double>(), 25.0);
    EXPECT_DOUBLE_EQ(j["current"]["y"].get<double>(), 2.0);
    EXPECT_DOUBLE_EQ(j["x"]["lo"].get<double>() * 100.0, j["x"]["hi"].get<double>());
    ASSERT_EQ(j["checked"].size(), 1u);
    ASSERT_EQ(j["leftOut"].size(), 1u);
    const std::string svg = j["svg"];
    EXPECT_NE(svg.find("data-label=\"pin 1\""), std::string::npos);
    EXPECT_NE(svg.find("class=\"pass-outline\""), std::string::npos);
    const double width = j["frame"]["width"], left = j["frame"]["left"];
    EXPECT_GT(left, 0.0);
    EXPECT_LE(left + width, j["frame"]["svgWidth"].get<double>());

    // the ranges kept, the zeta2 plane at the rise time
    const Json kept = Json::parse(w.designMapJson(500, 1, 2, 5.0, 50.0, 0.0, 2.0));
    EXPECT_EQ(kept["x"]["lo"], 5.0);
    EXPECT_EQ(kept["x"]["hi"], 50.0);
    EXPECT_EQ(kept["y"]["hi"], 2.0);
    EXPECT_EQ(kept["y"]["name"], "zeta2");
    EXPECT_EQ(kept["figure"]["column"], "force_rise_t_s");
    EXPECT_DOUBLE_EQ(kept["current"]["y"].get<double>(), 1.0);

    EXPECT_NE(Json::parse(w.designMapJson(500, 2, 0))["error"].get<std::string>().find("plane"), std::string::npos);
    EXPECT_NE(Json::parse(w.designMapJson(500, 0, 3))["error"].get<std::string>().find("figure"), std::string::npos);
}

}  // namespace
}  // namespace hybridsim
