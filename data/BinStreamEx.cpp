// SPDX-License-Identifier: MIT
#include "data/BinStreamEx.h"

#include "data/DataTypesTarn.h"

#include <algorithm>
#include <bit>
#include <istream>
#include <ostream>
#include <vector>

namespace {

const char* const WrongInteger = "Wrong integer in file";
const char* const WrongString = "Wrong string in file";

void PutLE32(std::uint8_t* out, std::uint32_t v)
{
    out[0] = static_cast<std::uint8_t>(v);
    out[1] = static_cast<std::uint8_t>(v >> 8);
    out[2] = static_cast<std::uint8_t>(v >> 16);
    out[3] = static_cast<std::uint8_t>(v >> 24);
}

std::uint32_t GetLE32(const std::uint8_t* in)
{
    return static_cast<std::uint32_t>(in[0]) | (static_cast<std::uint32_t>(in[1]) << 8)
           | (static_cast<std::uint32_t>(in[2]) << 16) | (static_cast<std::uint32_t>(in[3]) << 24);
}

// Measured once: how far the stream reaches beyond its read position.
std::optional<std::uint64_t> MeasureLeft(std::istream& in)
{
    if (!in.good())
        return std::uint64_t{0};
    const auto here = in.tellg();
    if (here == std::istream::pos_type(-1)) {
        in.clear();
        return std::nullopt;
    }
    in.seekg(0, std::ios::end);
    const auto end = in.tellg();
    in.clear();
    in.seekg(here);
    if (end == std::istream::pos_type(-1) || !in.good() || end < here) {
        in.clear();
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(end - here);
}

void SwapToNative(std::uint16_t* words, std::size_t count)
{
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t i = 0; i < count; ++i)
            words[i] = static_cast<std::uint16_t>((words[i] >> 8) | (words[i] << 8));
    }
}

} // namespace

TBinStreamEx::TBinStreamEx(std::istream& in) : FIn(&in), FLeft(MeasureLeft(in)) {}

TBinStreamEx::TBinStreamEx(std::ostream& out) : FOut(&out) {}

TBinStreamEx::TBinStreamEx(std::iostream& io) : FIn(&io), FOut(&io), FLeft(MeasureLeft(io)) {}

std::optional<std::uint64_t> TBinStreamEx::BytesLeft() const
{
    return FLeft;
}

std::uint64_t TBinStreamEx::Position() const
{
    if (!FIn)
        throw EDataError("Stream is not open for reading");
    const auto here = FIn->tellg();
    if (here == std::istream::pos_type(-1))
        throw EDataError("Stream cannot tell its position");
    return static_cast<std::uint64_t>(here);
}

void TBinStreamEx::Skip(std::uint64_t size)
{
    if (!FIn || !FLeft || *FLeft < size)
        throw EDataError(WrongInteger);
    FIn->seekg(static_cast<std::streamoff>(size), std::ios::cur);
    if (!FIn->good())
        throw EDataError(WrongInteger);
    *FLeft -= size;
}

void TBinStreamEx::WriteRaw(const void* data, std::size_t size)
{
    if (!FOut)
        throw EDataError("Stream is not open for writing");
    if (size == 0)
        return;
    FOut->write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!FOut->good())
        throw EDataError("Unable to write file");
}

bool TBinStreamEx::ReadRaw(void* data, std::size_t size)
{
    return ReadAvailable(data, size) == size;
}

std::size_t TBinStreamEx::ReadAvailable(void* data, std::size_t size)
{
    if (!FIn)
        throw EDataError("Stream is not open for reading");
    if (size == 0)
        return 0;
    FIn->read(static_cast<char*>(data), static_cast<std::streamsize>(size));
    const auto got = static_cast<std::uint64_t>(FIn->gcount());
    if (FLeft)
        *FLeft -= std::min(*FLeft, got);
    return static_cast<std::size_t>(got);
}

void TBinStreamEx::WriteByte(std::uint8_t value)
{
    WriteRaw(&value, 1);
}

std::uint8_t TBinStreamEx::ReadByte()
{
    std::uint8_t value = 0;
    // A file that ends here is as damaged as a broken guarded integer.
    if (!ReadRaw(&value, 1))
        throw EDataError(WrongInteger);
    return value;
}

void TBinStreamEx::WriteInt(std::int32_t value)
{
    std::uint8_t bytes[4];
    PutLE32(bytes, static_cast<std::uint32_t>(value));
    WriteRaw(bytes, sizeof bytes);
}

std::int32_t TBinStreamEx::ReadInt()
{
    std::uint8_t bytes[4];
    if (!ReadRaw(bytes, sizeof bytes))
        throw EDataError(WrongInteger);
    return static_cast<std::int32_t>(GetLE32(bytes));
}

void TBinStreamEx::WriteGuardedInt(std::int32_t value)
{
    std::uint8_t bytes[8];
    PutLE32(bytes, static_cast<std::uint32_t>(value));
    PutLE32(bytes + 4, ~static_cast<std::uint32_t>(value));
    WriteRaw(bytes, sizeof bytes);
}

std::int32_t TBinStreamEx::ReadGuardedInt()
{
    std::uint8_t bytes[8];
    if (!ReadRaw(bytes, sizeof bytes))
        throw EDataError(WrongInteger);
    const std::uint32_t value = GetLE32(bytes);
    if (GetLE32(bytes + 4) != ~value)
        throw EDataError(WrongInteger);
    return static_cast<std::int32_t>(value);
}

std::int32_t TBinStreamEx::ReadGuardedCount(std::size_t minItemBytes)
{
    const std::int32_t count = ReadGuardedInt();
    if (count < 0)
        throw EDataError(WrongInteger);
    // A stream that cannot tell its end gets a fixed ceiling instead.
    constexpr std::uint64_t UnknownStreamCeiling = std::uint64_t{1} << 28;
    const std::uint64_t limit = FLeft ? *FLeft : UnknownStreamCeiling;
    if (static_cast<std::uint64_t>(count) * minItemBytes > limit)
        throw EDataError(WrongInteger);
    return count;
}

void TBinStreamEx::WriteString(const std::string& text)
{
    if (text.size() > static_cast<std::size_t>(INT32_MAX))
        throw EDataError("String too long for file");
    WriteGuardedInt(static_cast<std::int32_t>(text.size()));
    WriteRaw(text.data(), text.size());
}

std::string TBinStreamEx::ReadString()
{
    std::uint8_t bytes[8];
    if (!ReadRaw(bytes, sizeof bytes))
        throw EDataError(WrongString);
    const std::uint32_t raw = GetLE32(bytes);
    if (GetLE32(bytes + 4) != ~raw)
        throw EDataError(WrongString);
    const auto length = static_cast<std::int32_t>(raw);
    // A length the data left cannot hold is a damaged file, not a short text.
    if (length < 0 || (FLeft && static_cast<std::uint64_t>(length) > *FLeft))
        throw EDataError(WrongString);
    // Without a known end, grow in steps so a bogus length cannot reserve
    // more than the stream actually delivers.
    constexpr std::size_t Step = 1 << 16;
    const auto total = static_cast<std::size_t>(length);
    std::string text;
    std::size_t done = 0;
    while (done < total) {
        const std::size_t chunk = FLeft ? total - done : std::min(Step, total - done);
        text.resize(done + chunk);
        if (!ReadRaw(text.data() + done, chunk))
            throw EDataError(WrongString);
        done += chunk;
    }
    return text;
}

void TBinStreamEx::WriteWords(const std::uint16_t* words, std::size_t count)
{
    if constexpr (std::endian::native == std::endian::little) {
        WriteRaw(words, count * sizeof(std::uint16_t));
    } else {
        std::vector<std::uint8_t> bytes(count * 2);
        for (std::size_t i = 0; i < count; ++i) {
            bytes[2 * i] = static_cast<std::uint8_t>(words[i]);
            bytes[2 * i + 1] = static_cast<std::uint8_t>(words[i] >> 8);
        }
        WriteRaw(bytes.data(), bytes.size());
    }
}

void TBinStreamEx::ReadWords(std::uint16_t* words, std::size_t count, std::uint16_t missing)
{
    const std::size_t size = count * sizeof(std::uint16_t);
    const std::size_t got = ReadAvailable(words, size);
    if (got < size) {
        // As if the buffer had held missing before the read.
        auto* bytes = reinterpret_cast<std::uint8_t*>(words);
        for (std::size_t b = got; b < size; ++b)
            bytes[b] = static_cast<std::uint8_t>(b % 2 == 0 ? missing : missing >> 8);
        throw EDataError(WrongInteger);
    }
    SwapToNative(words, count);
}

void TBinStreamEx::ReadWords(std::uint16_t* words, std::size_t count)
{
    if (!ReadRaw(words, count * sizeof(std::uint16_t)))
        throw EDataError(WrongInteger);
    SwapToNative(words, count);
}
