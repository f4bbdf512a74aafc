// SPDX-License-Identifier: MIT
#include "data/BinStreamEx.h"
#include "data/DataTypesTarn.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <vector>

namespace {

std::vector<std::uint8_t> Bytes(const std::string& s)
{
    return {s.begin(), s.end()};
}

std::string Written(void (*write)(TBinStreamEx&))
{
    std::ostringstream out(std::ios::binary);
    TBinStreamEx stream(out);
    write(stream);
    return out.str();
}

// Delivers its bytes but cannot seek, like a pipe.
class PipeBuf : public std::streambuf {
public:
    explicit PipeBuf(std::string data) : Data(std::move(data))
    {
        setg(Data.data(), Data.data(), Data.data() + Data.size());
    }

private:
    std::string Data;
};

template <class F> std::string MessageOf(F&& f)
{
    try {
        f();
    } catch (const EDataError& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(BinStreamEx, ItemEncodings)
{
    using V = std::vector<std::uint8_t>;
    EXPECT_EQ(Bytes(Written([](TBinStreamEx& s) { s.WriteGuardedInt(1001); })),
              (V{0xE9, 0x03, 0x00, 0x00, 0x16, 0xFC, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(Written([](TBinStreamEx& s) { s.WriteGuardedInt(0); })), (V{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(Written([](TBinStreamEx& s) { s.WriteString("Sine"); })),
              (V{0x04, 0, 0, 0, 0xFB, 0xFF, 0xFF, 0xFF, 0x53, 0x69, 0x6E, 0x65}));
    EXPECT_EQ(Bytes(Written([](TBinStreamEx& s) { s.WriteString(""); })), (V{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(Written([](TBinStreamEx& s) { s.WriteInt(-2); })), (V{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(Written([](TBinStreamEx& s) { s.WriteByte(0x7F); })), (V{0x7F}));
    const std::uint16_t words[] = {0x1234, 0x0FFF};
    std::ostringstream out(std::ios::binary);
    TBinStreamEx stream(out);
    stream.WriteWords(words, 2);
    EXPECT_EQ(Bytes(out.str()), (V{0x34, 0x12, 0xFF, 0x0F}));
}

TEST(BinStreamEx, ReadsBackWhatItWrites)
{
    std::stringstream io(std::ios::in | std::ios::out | std::ios::binary);
    {
        TBinStreamEx w(io);
        w.WriteByte(200);
        w.WriteInt(INT32_MIN);
        w.WriteGuardedInt(-7);
        w.WriteGuardedInt(INT32_MAX);
        w.WriteString(std::string("a\0b", 3));
    }
    TBinStreamEx r(io);
    EXPECT_EQ(r.BytesLeft(), std::optional<std::uint64_t>(1 + 4 + 8 + 8 + 11));
    EXPECT_EQ(r.ReadByte(), 200);
    EXPECT_EQ(r.ReadInt(), INT32_MIN);
    EXPECT_EQ(r.ReadGuardedInt(), -7);
    EXPECT_EQ(r.ReadGuardedInt(), INT32_MAX);
    EXPECT_EQ(r.ReadString(), std::string("a\0b", 3));
    EXPECT_EQ(r.BytesLeft(), std::optional<std::uint64_t>(0));
}

TEST(BinStreamEx, DamagedItemsAreRejected)
{
    auto reader = [](std::string data) { return std::istringstream(std::move(data), std::ios::binary); };
    // Complement off by one bit.
    {
        auto in = reader(std::string("\xE9\x03\x00\x00\x16\xFC\xFF\x7F", 8));
        TBinStreamEx s(in);
        EXPECT_EQ(MessageOf([&] { s.ReadGuardedInt(); }), "Wrong integer in file");
    }
    {
        auto in = reader(std::string("\x04\x00\x00\x00\xFA\xFF\xFF\xFFSine", 12));
        TBinStreamEx s(in);
        EXPECT_EQ(MessageOf([&] { s.ReadString(); }), "Wrong string in file");
    }
    // A consistent but negative length, and one longer than the data left.
    {
        auto in = reader(std::string("\xFF\xFF\xFF\xFF\x00\x00\x00\x00", 8));
        TBinStreamEx s(in);
        EXPECT_EQ(MessageOf([&] { s.ReadString(); }), "Wrong string in file");
    }
    {
        auto in = reader(std::string("\x05\x00\x00\x00\xFA\xFF\xFF\xFFSine", 12));
        TBinStreamEx s(in);
        EXPECT_EQ(MessageOf([&] { s.ReadString(); }), "Wrong string in file");
    }
    // Reads past the end.
    {
        auto in = reader(std::string("\x01\x00\x00\x00\xFE\xFF\xFF", 7));
        TBinStreamEx s(in);
        EXPECT_EQ(MessageOf([&] { s.ReadGuardedInt(); }), "Wrong integer in file");
    }
    {
        auto in = reader("");
        TBinStreamEx s(in);
        EXPECT_EQ(MessageOf([&] { s.ReadByte(); }), "Wrong integer in file");
        EXPECT_EQ(MessageOf([&] { s.ReadInt(); }), "Wrong integer in file");
        std::uint16_t w = 0;
        EXPECT_EQ(MessageOf([&] { s.ReadWords(&w, 1); }), "Wrong integer in file");
    }
}

TEST(BinStreamEx, CountsAreCheckedAgainstTheDataLeft)
{
    std::ostringstream out(std::ios::binary);
    {
        TBinStreamEx w(out);
        w.WriteGuardedInt(3);
        w.WriteString("abcdefgh");
    }
    {
        std::istringstream in(out.str(), std::ios::binary);
        TBinStreamEx s(in);
        // 16 bytes left: three 5-byte items fit, three 6-byte items do not.
        EXPECT_EQ(s.ReadGuardedCount(5), 3);
    }
    {
        std::istringstream in(out.str(), std::ios::binary);
        TBinStreamEx s(in);
        EXPECT_EQ(MessageOf([&] { s.ReadGuardedCount(6); }), "Wrong integer in file");
    }
    {
        std::ostringstream neg(std::ios::binary);
        TBinStreamEx w(neg);
        w.WriteGuardedInt(-1);
        std::istringstream in(neg.str(), std::ios::binary);
        TBinStreamEx s(in);
        EXPECT_EQ(MessageOf([&] { s.ReadGuardedCount(1); }), "Wrong integer in file");
    }
}

TEST(BinStreamEx, UnseekableStreamStillFailsCleanlyOnHugeLengths)
{
    // Length 0x7FFFFFFF with a few bytes behind it.
    PipeBuf buf(std::string("\xFF\xFF\xFF\x7F\x00\x00\x00\x80xyz", 11));
    std::istream in(&buf);
    TBinStreamEx s(in);
    EXPECT_FALSE(s.BytesLeft().has_value());
    EXPECT_EQ(MessageOf([&] { s.ReadString(); }), "Wrong string in file");

    PipeBuf counts(std::string("\x00\x00\x00\x10\xFF\xFF\xFF\xEF\x00\x10\x00\x00\xFF\xEF\xFF\xFF", 16));
    std::istream in3(&counts);
    TBinStreamEx s3(in3);
    EXPECT_EQ(MessageOf([&] { s3.ReadGuardedCount(2); }), "Wrong integer in file");
    EXPECT_EQ(s3.ReadGuardedCount(2), 4096);

    PipeBuf ok(std::string("\x02\x00\x00\x00\xFD\xFF\xFF\xFFhi", 10));
    std::istream in2(&ok);
    TBinStreamEx s2(in2);
    EXPECT_EQ(s2.ReadString(), "hi");
}

TEST(BinStreamEx, WriteFailureIsReported)
{
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    TBinStreamEx s(out);
    EXPECT_THROW(s.WriteGuardedInt(1), EDataError);
    std::istringstream in("abc");
    TBinStreamEx r(in);
    EXPECT_THROW(r.WriteByte(1), EDataError);
}
