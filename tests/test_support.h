// Shared helpers of the tests: one tolerance check and the default set-up.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "sim/derivation.h"
#include "sim/settings.h"

namespace hybridsim::testing {

// |actual - expected| <= tol, with both values in the message.
inline ::testing::AssertionResult near(double actual, double expected, double tol)
{
    if (std::fabs(actual - expected) <= tol) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "actual " << actual << " differs from " << expected << " by more than " << tol;
}

// The settings after the program's start: entry defaults, defaults, derivation.
inline SimSettings defaultSettings()
{
    SimSettings s;
    setEntryDefaults(s);
    setDefaults(s);
    deriveSettings(s);
    return s;
}

// The default settings with another robot, method and contour, derived.
inline SimSettings settingsFor(char type, char hybrid, char curve)
{
    SimSettings s = defaultSettings();
    s.type = type;
    s.hybrid = hybrid;
    s.curve = curve;
    deriveSettings(s);
    return s;
}

}  // namespace hybridsim::testing
