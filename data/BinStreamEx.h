// SPDX-License-Identifier: MIT
#pragma once
// Typed items over a byte stream, little-endian. Integers and lengths can be
// guarded by their bitwise complement so that damaged or foreign files are
// caught early. The stream is borrowed, never closed.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

class TBinStreamEx {
public:
    explicit TBinStreamEx(std::istream& in);
    explicit TBinStreamEx(std::ostream& out);
    explicit TBinStreamEx(std::iostream& io);
    TBinStreamEx(const TBinStreamEx&) = delete;
    TBinStreamEx& operator=(const TBinStreamEx&) = delete;

    void WriteByte(std::uint8_t value);
    std::uint8_t ReadByte();
    void WriteInt(std::int32_t value);
    std::int32_t ReadInt();
    void WriteGuardedInt(std::int32_t value);
    // Throws EDataError "Wrong integer in file" when the complement does not match.
    std::int32_t ReadGuardedInt();
    void WriteString(const std::string& text);
    // Throws EDataError "Wrong string in file" when the length is damaged,
    // negative or longer than the data left.
    std::string ReadString();

    // A guarded count of items that take at least minItemBytes each; a
    // negative count or one the data left cannot hold is "Wrong integer in file".
    // Without a known end the items may take 256 MiB at most.
    std::int32_t ReadGuardedCount(std::size_t minItemBytes);

    // Sample codes, unsigned 16-bit little-endian.
    void WriteWords(const std::uint16_t* words, std::size_t count);
    void ReadWords(std::uint16_t* words, std::size_t count);
    // The same into a buffer nobody has filled: when the stream ends early,
    // the bytes not delivered take those of missing before the error is thrown.
    void ReadWords(std::uint16_t* words, std::size_t count, std::uint16_t missing);

    // The read position, and a skip over bytes that stay unread (a sample
    // block read later from the file). Skip past the end throws EDataError.
    std::uint64_t Position() const;
    void Skip(std::uint64_t size);

    // Bytes between the read position and the end, when the stream can tell.
    std::optional<std::uint64_t> BytesLeft() const;

private:
    void WriteRaw(const void* data, std::size_t size);
    // False when fewer than size bytes were delivered.
    bool ReadRaw(void* data, std::size_t size);
    // The number of bytes delivered.
    std::size_t ReadAvailable(void* data, std::size_t size);

    std::istream* FIn = nullptr;
    std::ostream* FOut = nullptr;
    std::optional<std::uint64_t> FLeft;
};
