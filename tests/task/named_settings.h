// The default task with settings changed by name, as --set changes them:
// each change must be taken (a refusal fails the test that asked for it).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "task/task_setting.h"
#include "tests/test_support.h"

namespace hybridsim::testing {

inline SimSettings defaultsWith(const std::vector<std::pair<std::string, std::string>>& settings)
{
    SimSettings s = defaultSettings();
    for (const auto& [name, value] : settings) {
        const SettingChange c = setTaskSetting(s, name, value);
        EXPECT_TRUE(c.ok) << c.message;
    }
    return s;
}

}  // namespace hybridsim::testing
