// SPDX-License-Identifier: MIT
// The description texts another library leaves in our buffers are bounded
// and printable whatever it wrote.
#include "usb/TransportText.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vireo {
namespace {

TEST(TransportText, ReadingStopsAtTheBufferTheLimitOrTheTerminatorAndMasksWhatIsNotPrintable)
{
    struct Case {
        const char* bytes;
        std::size_t size; // bytes in the buffer, a terminator or not
        std::size_t limit;
        const char* expected;
    };
    const Case cases[] = {
        {"virtual\0junk", 12, 31, "virtual"}, {"unterminated", 12, 31, "unterminated"}, // never past the buffer
        {"0123456789", 10, 4, "0123"},        {"bus\n\x1b[2J\xc3\xa9", 10, 31, "bus??[2J??"}, {"\0", 1, 31, ""},
    };
    for (const Case& c : cases) {
        std::vector<char> buffer(c.bytes, c.bytes + c.size);
        EXPECT_EQ(ReadFromBuffer(buffer.data(), buffer.size(), c.limit), c.expected) << c.expected;
    }
}

TEST(TransportText, ADescriptionIsReadOnlyWhenTheOtherSideWroteAKind)
{
    Description out;
    EXPECT_FALSE(ReadDescription([](char*, std::int32_t, char*, std::int32_t) { return 0; }, out));
    EXPECT_FALSE(ReadDescription(
        [](char* kind, std::int32_t, char*, std::int32_t) {
            kind[0] = '\0';
            return 1;
        },
        out));
    // A library that fills its whole buffers, terminators ignored, is cut at the limits.
    EXPECT_TRUE(ReadDescription(
        [](char* kind, std::int32_t kindCapacity, char* detail, std::int32_t detailCapacity) {
            std::memset(kind, 'k', static_cast<std::size_t>(kindCapacity));
            std::memset(detail, 'd', static_cast<std::size_t>(detailCapacity));
            return 1;
        },
        out));
    EXPECT_EQ(out.kind, std::string(kMaxKindLength, 'k'));
    EXPECT_EQ(out.detail, std::string(kMaxDetailLength, 'd'));
}

} // namespace
} // namespace vireo
