// SPDX-License-Identifier: MIT
#pragma once
// The sample blocks of a waveform file, read on demand with positioned reads
// into the caller's buffer. Nothing is mapped, so a file shortened by another
// program can never fault the process; a file changed since it was opened is
// detected (size, change times, inode) and every later read is refused.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <streambuf>
#include <vector>

class TSampleFile {
public:
    // Null when the file cannot be opened as a regular file.
    static std::shared_ptr<TSampleFile> Open(const std::filesystem::path& file);
    struct TOpened;
    TSampleFile(const TOpened& opened);
    ~TSampleFile();
    TSampleFile(const TSampleFile&) = delete;
    TSampleFile& operator=(const TSampleFile&) = delete;

    // count codes (little-endian in the file) at offset. False when the file
    // has changed since it was opened or ends early; the file then counts as
    // damaged for good.
    bool ReadWords(std::uint64_t offset, std::uint16_t* words, std::size_t count) const noexcept;
    // Raw bytes for the header parser; fewer at the end of the file.
    std::size_t ReadBytes(std::uint64_t offset, void* data, std::size_t size) const noexcept;
    bool Damaged() const noexcept { return FDamaged.load(); }
    // False (and damaged from then on) once the file differs from the one opened.
    bool StillValid() const noexcept;
    std::uint64_t Size() const noexcept { return FIdentity.Size; }
    // The file at path is still this one, unchanged (and not damaged).
    bool IsFileAt(const std::filesystem::path& path) const noexcept;

private:
    struct TIdentity {
        std::uint64_t Device = 0, Inode = 0, Size = 0;
        std::int64_t Modified = 0, ModifiedNs = 0;
        bool operator==(const TIdentity&) const = default;
    };
    bool Unchanged() const noexcept;

    int FDescriptor;
    TIdentity FIdentity;
    mutable std::atomic<bool> FDamaged{false};
};

// A read-only, seekable stream buffer over a sample file, for the record
// headers: small positioned reads, so skipping a sample block costs nothing.
class TSampleFileBuf : public std::streambuf {
public:
    explicit TSampleFileBuf(const TSampleFile& file) : FFile(file), FBuffer(512) {}

protected:
    int_type underflow() override;
    std::streamsize xsgetn(char* data, std::streamsize count) override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode) override;

private:
    std::uint64_t Position() const noexcept;
    const TSampleFile& FFile;
    std::vector<char> FBuffer;
    // File position of the buffer's first byte.
    std::uint64_t FBufferStart = 0;
};
