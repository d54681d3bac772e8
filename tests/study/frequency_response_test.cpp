// The loops' frequency responses against the model's laws integrated in
// time under a sine command, the first-order bandwidth and the resonance
// peak in closed form, and the lines --loops gives of them.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <sstream>
#include <string>
#include <vector>

#include "sim/derivation.h"
#include "sim/integrator.h"
#include "study/frequency_response.h"
#include "study/loop_poles.h"
#include "task/text_format.h"
#include "tests/support/study_support.h"
#include "tests/test_support.h"

namespace hybridsim {
namespace {

using Complex = std::complex<double>;

// The gain and phase of the settled answer y to the command sin(w t): over
// whole periods, y = Re H sin(w t) + Im H cos(w t), by the trapezoid rule
// on equally spaced samples (exact for a periodic signal's few harmonics).
struct Projection {
    double w = 0.0;
    double sine = 0.0, cosine = 0.0;
    int samples = 0;
    void add(double t, double y)
    {
        sine += y * std::sin(w * t);
        cosine += y * std::cos(w * t);
        ++samples;
    }
    Complex gain() const { return Complex(2.0 * sine / samples, 2.0 * cosine / samples); }
};

// The force law integrated by Runge-Kutta-Gill steps with Fn = sin(w t),
// the feedback r F (r = 1: the model's own), from rest until the slowest
// pole has decayed, then projected over whole periods: the measured force r F.
Complex simulatedForceLoop(const LoopPoles& l, double hz)
{
    const double w = twoPi * hz;
    const double period = 1.0 / hz;
    const int perPeriod = std::max(2000, static_cast<int>(std::ceil(period / 1e-4)));
    const double h = period / perPeriod;
    const double r = l.ratio;
    auto law = [&](int j, double t, const double* y) {
        const double e = std::sin(w * t) - r * y[0];
        return j == 0 ? ((l.Kp - 1.0) * e + l.Ki * y[1]) / l.Kv : e;
    };
    double y[2] = {0.0, 0.0}, next[2];
    const int settle = static_cast<int>(std::ceil(25.0 / period));  // 25 s: the pole at -2 gone to e^-50
    Projection p{w};
    long step = 0;
    for (int k = 0; k < settle + 4; ++k)
        for (int i = 0; i < perPeriod; ++i, ++step) {
            const double t = step * h;
            if (k >= settle) p.add(t, r * y[0]);
            rungeKuttaGill(law, t, h, y, next, 2);
            y[0] = next[0];
            y[1] = next[1];
        }
    return p.gain();
}

// The sampled loop: the command sin(w j T) and the measured force r F(j T)
// held over each period, the law integrated within it, the samples projected.
Complex simulatedSampledLoop(const LoopPoles& l, double hz)
{
    const double w = twoPi * hz;
    const double T = l.discrete.period;
    const double r = l.discrete.ratio;
    double y[2] = {0.0, 0.0}, next[2];
    Projection p{w};
    const int settle = static_cast<int>(std::ceil(30.0 / T));
    // whole periods of the command in the projected samples: hz T = 1 / 20 in the cases below
    const int projected = static_cast<int>(std::lround(20.0 / (hz * T)));
    for (int j = 0; j < settle + projected; ++j) {
        const double t = j * T;
        if (j >= settle) p.add(t, r * y[0]);
        const double e = std::sin(w * t) - r * y[0];
        auto law = [&](int i, double, const double* v) { return i == 0 ? ((l.Kp - 1.0) * e + l.Ki * v[1]) / l.Kv : e; };
        // within a period F is a quadratic of the time: four steps are exact
        for (int k = 0; k < 4; ++k) {
            rungeKuttaGill(law, t + k * T / 4.0, T / 4.0, y, next, 2);
            y[0] = next[0];
            y[1] = next[1];
        }
    }
    return p.gain();
}

Complex asComplex(Gain g) { return Complex(g.re, g.im); }

// The designed closed loop in closed form on the settings' gains.
Complex designedClosedForm(double Kp, double Kv, double Ki, double hz)
{
    const Complex s(0.0, twoPi * hz);
    const Complex n = Kv * s * s + Kp * s + Ki;
    return n / (s * s * s + n);
}

// The model's force loop and its measured force under contact=spring, and
// the sampled loop, against the laws integrated in time; the designed
// responses against their closed form on the gains; the position loop's
// model follows its command exactly.
TEST(FrequencyResponse, TheResponsesAreThoseOfTheLawsUnderASineCommand)
{
    SimSettings s = testing::defaultSettings();
    for (bool spring : {false, true}) {
        s.springContact = spring;
        s.KW = 1000.0;
        const auto loops = loopPoles(s);
        const LoopPoles& f = loops[1];
        for (double hz : {0.2, 3.0, 40.0}) {
            const Complex want = simulatedForceLoop(f, hz);
            const Complex got = asComplex(modelResponseAt(f, hz));
            EXPECT_LT(std::abs(got - want), 1e-5) << "spring " << spring << " at " << hz << " Hz: " << got << " against " << want;
        }
    }
    // the sampled loop at T = 20 ms, where its poles ring (near the bound of 30 ms)
    s.controlPeriod = 0.02;
    const LoopPoles sampled = loopPoles(s)[1];
    ASSERT_TRUE(sampled.discrete.computed);
    for (double hz : {0.5, 2.5}) {
        const Complex want = simulatedSampledLoop(sampled, hz);
        const Complex got = asComplex(sampledResponseAt(sampled, hz));
        EXPECT_LT(std::abs(got - want), 1e-6) << hz << " Hz: " << got << " against " << want;
    }
    s = testing::defaultSettings();
    for (const LoopPoles& l : loopPoles(s))
        for (double hz : {0.05, 1.0, 20.0, 300.0}) {
            const Complex want = designedClosedForm(l.Kp, l.Kv, l.Ki, hz);
            EXPECT_LT(std::abs(asComplex(designedResponseAt(l, hz)) - want), 1e-12) << l.system << " at " << hz;
            if (l.system == 1) {
                EXPECT_EQ(asComplex(modelResponseAt(l, hz)), Complex(1.0, 0.0));
            }
        }
}

// Without an integral gain (alpha2 = 0) the model's force loop is of first
// order, p / (s + p) with p = (Kp2 - 1) / Kv2: |H| is 3 dB down at
// p sqrt(10^0.3 - 1), and never above its 0 Hz value; with alpha2 = 100 1/s
// and fn2 = 1 Hz the poles are complex and the peak of
// |H|^2 = (b^2 w^2 + c^2) / ((c - w^2)^2 + b^2 w^2), b = (Kp2 - 1) / Kv2,
// c = Ki2 / Kv2, lies at w^2 = c^2 (sqrt(1 + 2 b^2 / c) - 1) / b^2.
TEST(FrequencyResponse, BandwidthAndPeakAreThoseOfTheClosedForms)
{
    SimSettings s = testing::defaultSettings();
    s.alpha2Hybrid8 = 0.0;
    deriveSettings(s);
    LoopResponse force = loopResponses(s)[1];
    const double p = (s.Kp2 - 1.0) / s.Kv2;
    ASSERT_TRUE(force.model.hasBandwidth);
    EXPECT_NEAR(force.model.bandwidth, hertz(p * std::sqrt(std::pow(10.0, 0.3) - 1.0)), 1e-12 * hertz(p));
    EXPECT_DOUBLE_EQ(force.model.dcGain, 1.0);
    EXPECT_FALSE(force.model.hasPeak);
    // the grid's last point: |H|^2 = 1 / (1 + (w / p)^2), the phase -atan(w / p)
    const double last = twoPi * force.high / p;
    EXPECT_NEAR(force.model.magnitude.back(), -10.0 * std::log10(1.0 + last * last), 1e-9);
    EXPECT_NEAR(force.model.phase.back(), -std::atan(last) * 360.0 / twoPi, 1e-9);

    s.alpha2Hybrid8 = 100.0;
    s.wn2Hybrid8 = twoPi * 1.0;
    deriveSettings(s);
    ASSERT_NE(loopPoles(s)[1].model.at(0).im, 0.0);
    force = loopResponses(s)[1];
    const double b = (s.Kp2 - 1.0) / s.Kv2, c = s.Ki2 / s.Kv2;
    const double w2 = c * c * (std::sqrt(1.0 + 2.0 * b * b / c) - 1.0) / (b * b);
    const double peak = 10.0 * std::log10((b * b * w2 + c * c) / ((c - w2) * (c - w2) + b * b * w2));
    ASSERT_TRUE(force.model.hasPeak);
    EXPECT_NEAR(force.model.peak, peak, 1e-9);
    EXPECT_NEAR(force.model.peakFrequency, hertz(std::sqrt(w2)), 1e-6 * hertz(std::sqrt(w2)));
    EXPECT_GT(force.model.peak, 1.0);
    // the position loop's model follows its command: no bandwidth, no peak
    const LoopResponse position = loopResponses(s)[0];
    EXPECT_TRUE(position.model.computed);
    EXPECT_FALSE(position.model.hasBandwidth);
    EXPECT_FALSE(position.model.hasPeak);
}

// --loops: per loop the response lines with the figures of loopResponses;
// the CSV's three columns on every row, of the row's kind.
TEST(FrequencyResponse, TheLoopTablesGiveBandwidthAndPeak)
{
    SimSettings s = testing::defaultSettings();
    const auto r = loopResponses(s);
    std::ostringstream text, csv;
    printLoops(s, text);
    printLoopsCsv(s, csv);
    EXPECT_NE(text.str().find(format("  frequency response from Fn to F, %.6g to %.6g Hz:\n    designed (PID on the error of 1/s^2): bandwidth %.6g Hz, ",
                                     r[1].low, r[1].high, r[1].designed.bandwidth)),
              std::string::npos)
        << text.str();
    EXPECT_NE(text.str().find(format("    model: bandwidth %.6g Hz, peak %.6g dB above the 0 Hz value at %.6g Hz\n",
                                     r[1].model.bandwidth, r[1].model.peak, r[1].model.peakFrequency)),
              std::string::npos)
        << text.str();
    EXPECT_NE(text.str().find("    model: |H| = 1 at every frequency (the law adds ds_r/dt, so the error does not "
                              "depend on s_r): bandwidth none (within 3 dB of its 0 Hz value up to " +
                              format("%.6g", r[0].high) + " Hz), peak none (not above its 0 Hz value in this range)\n"),
              std::string::npos)
        << text.str();
    const std::vector<std::string> rows = testing::textLines(csv.str());
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(rows[0], "system,kind,re,im,bandwidth_hz,peak_db,peak_hz");
    const std::string model = "," + exactNumber(r[1].model.bandwidth) + "," + exactNumber(r[1].model.peak) + "," +
                              exactNumber(r[1].model.peakFrequency);
    EXPECT_EQ(rows[9].substr(0, 8), "2,model,");
    EXPECT_EQ(rows[9].substr(rows[9].size() - model.size()), model);
    EXPECT_EQ(rows[4].substr(0, 8), "1,model,");
    EXPECT_EQ(rows[4].substr(rows[4].size() - 4), ",,0,");  // no bandwidth, a peak of 0 dB, no peak frequency
    // contact=spring with a period: the measured force, and the sampled rows with the sampled response's figures
    s.springContact = true;
    s.controlPeriod = 0.02;
    const auto held = loopResponses(s);
    ASSERT_TRUE(held[1].sampled.computed);
    std::ostringstream springText, springCsv;
    printLoops(s, springText);
    printLoopsCsv(s, springCsv);
    EXPECT_NE(springText.str().find("frequency response from Fn to the measured force"), std::string::npos);
    EXPECT_NE(springText.str().find("    sampled (command and measured force held over T): " +
                                    bandwidthText(held[1].sampled, 25.0) + ", " + peakText(held[1].sampled) + "\n"),
              std::string::npos)
        << springText.str();
    const std::vector<std::string> springRows = testing::textLines(springCsv.str());
    ASSERT_EQ(springRows.size(), 13u);
    EXPECT_EQ(springRows[0], "system,kind,re,im,ratio,abs,inside,bandwidth_hz,peak_db,peak_hz");
    // at T = 20 ms |H| stays within 3 dB up to the Nyquist frequency and is largest there
    EXPECT_FALSE(held[1].sampled.hasBandwidth);
    ASSERT_TRUE(held[1].sampled.hasPeak);
    EXPECT_NEAR(held[1].sampled.peakFrequency, 25.0, 1e-6);
    const std::string sampledFigures =
        ",," + exactNumber(held[1].sampled.peak) + "," + exactNumber(held[1].sampled.peakFrequency);
    EXPECT_EQ(springRows[12].substr(springRows[12].size() - sampledFigures.size()), sampledFigures);
}

}  // namespace
}  // namespace hybridsim
