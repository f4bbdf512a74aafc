// SPDX-License-Identifier: MIT
// The shipped udev rule must grant access to the very device the backend opens.
#include "usb/UsbIds.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace vireo {
namespace {

std::string Attribute(const std::string& rule, const std::string& name)
{
    const std::regex pattern("ATTR\\{" + name + "\\}==\"([0-9a-f]{4})\"");
    std::smatch match;
    return std::regex_search(rule, match, pattern) ? match[1].str() : std::string();
}

TEST(UdevRule, CarriesTheBackendsIdsInLowerCaseHex)
{
    std::ifstream file(VIREO_TEST_UDEV_RULE);
    ASSERT_TRUE(file) << VIREO_TEST_UDEV_RULE;
    std::ostringstream text;
    text << file.rdbuf();
    const std::string rule = text.str();
    char vendor[5];
    char product[5];
    std::snprintf(vendor, sizeof vendor, "%04x", kGeneratorId.vendor);
    std::snprintf(product, sizeof product, "%04x", kGeneratorId.product);
    EXPECT_EQ(Attribute(rule, "idVendor"), vendor);
    EXPECT_EQ(Attribute(rule, "idProduct"), product);
    EXPECT_NE(rule.find("TAG+=\"uaccess\""), std::string::npos);
}

} // namespace
} // namespace vireo
