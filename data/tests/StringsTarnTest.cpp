// SPDX-License-Identifier: MIT
#include "data/StringsTarn.h"

#include <gtest/gtest.h>

#include <set>

TEST(StringTable, KeysUniqueAndTextsPresent)
{
    std::set<std::string_view> keys;
    for (const auto& entry : StringTable()) {
        EXPECT_TRUE(keys.insert(entry.Key).second) << "duplicate key " << entry.Key;
        EXPECT_FALSE(entry.Text.empty()) << entry.Key;
    }
    EXPECT_GT(StringTable().size(), 150u);
}

TEST(StringTable, LookUpByKey)
{
    EXPECT_EQ(FindString("UnableToSaveSettings"),
              "Unable to save settings. Please check if the settings.xml is not read-only.");
    EXPECT_EQ(FindString("HintStepMode"), "Every change of frequency is set to device after click on \"Set\" button");
    EXPECT_EQ(FindString("NoSuchKey"), "");
}
