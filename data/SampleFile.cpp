// SPDX-License-Identifier: MIT
#include "data/SampleFile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Identify(int descriptor, std::uint64_t& device, std::uint64_t& inode, std::uint64_t& size,
              std::int64_t (&times)[2]) noexcept
{
    struct stat st{};
    if (::fstat(descriptor, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    device = static_cast<std::uint64_t>(st.st_dev);
    inode = static_cast<std::uint64_t>(st.st_ino);
    size = static_cast<std::uint64_t>(st.st_size);
    times[0] = st.st_mtim.tv_sec;
    times[1] = st.st_mtim.tv_nsec;
    return true;
}

} // namespace

struct TSampleFile::TOpened {
    int Descriptor;
    TIdentity Identity;
};

TSampleFile::TSampleFile(const TOpened& opened) : FDescriptor(opened.Descriptor), FIdentity(opened.Identity) {}

std::shared_ptr<TSampleFile> TSampleFile::Open(const std::filesystem::path& file)
{
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0)
        return nullptr;
    TIdentity identity;
    std::int64_t times[2]{};
    if (!Identify(descriptor, identity.Device, identity.Inode, identity.Size, times)) {
        ::close(descriptor);
        return nullptr;
    }
    identity.Modified = times[0];
    identity.ModifiedNs = times[1];
    return std::make_shared<TSampleFile>(TOpened{descriptor, identity});
}

TSampleFile::~TSampleFile()
{
    ::close(FDescriptor);
}

bool TSampleFile::Unchanged() const noexcept
{
    TIdentity now;
    std::int64_t times[2]{};
    if (!Identify(FDescriptor, now.Device, now.Inode, now.Size, times))
        return false;
    now.Modified = times[0];
    now.ModifiedNs = times[1];
    return now == FIdentity;
}

bool TSampleFile::StillValid() const noexcept
{
    // The change time is left out: replacing the file by a new one (our own
    // saves do) only unlinks this one, its content stays.
    if (!FDamaged.load() && !Unchanged())
        FDamaged = true;
    return !FDamaged.load();
}

bool TSampleFile::IsFileAt(const std::filesystem::path& path) const noexcept
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || static_cast<std::uint64_t>(st.st_dev) != FIdentity.Device
        || static_cast<std::uint64_t>(st.st_ino) != FIdentity.Inode)
        return false;
    return StillValid();
}

std::size_t TSampleFile::ReadBytes(std::uint64_t offset, void* data, std::size_t size) const noexcept
{
    auto* out = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(FDescriptor, out + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

bool TSampleFile::ReadWords(std::uint64_t offset, std::uint16_t* words, std::size_t count) const noexcept
{
    const std::size_t bytes = count * sizeof(std::uint16_t);
    // Checked before and after: a change during the read is caught as well.
    const bool whole = !FDamaged.load() && offset <= FIdentity.Size && bytes <= FIdentity.Size - offset
                       && Unchanged() && ReadBytes(offset, words, bytes) == bytes && Unchanged();
    if (!whole) {
        FDamaged = true;
        return false;
    }
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t i = 0; i < count; ++i)
            words[i] = static_cast<std::uint16_t>((words[i] >> 8) | (words[i] << 8));
    }
    return true;
}

std::uint64_t TSampleFileBuf::Position() const noexcept
{
    return FBufferStart + static_cast<std::uint64_t>(gptr() - eback());
}

TSampleFileBuf::int_type TSampleFileBuf::underflow()
{
    if (gptr() < egptr())
        return traits_type::to_int_type(*gptr());
    const std::uint64_t at = eback() ? Position() : FBufferStart;
    const std::size_t got = FFile.ReadBytes(at, FBuffer.data(), FBuffer.size());
    FBufferStart = at;
    setg(FBuffer.data(), FBuffer.data(), FBuffer.data() + got);
    return got == 0 ? traits_type::eof() : traits_type::to_int_type(*gptr());
}

std::streamsize TSampleFileBuf::xsgetn(char* data, std::streamsize count)
{
    std::streamsize done = 0;
    while (done < count) {
        const std::streamsize buffered = egptr() - gptr();
        if (buffered > 0) {
            const std::streamsize n = std::min(buffered, count - done);
            std::memcpy(data + done, gptr(), static_cast<std::size_t>(n));
            gbump(static_cast<int>(n));
            done += n;
            continue;
        }
        if (count - done >= static_cast<std::streamsize>(FBuffer.size())) {
            // Large items go straight from the file.
            const std::uint64_t at = eback() ? Position() : FBufferStart;
            const std::size_t got = FFile.ReadBytes(at, data + done, static_cast<std::size_t>(count - done));
            FBufferStart = at + got;
            setg(nullptr, nullptr, nullptr);
            return done + static_cast<std::streamsize>(got);
        }
        if (traits_type::eq_int_type(underflow(), traits_type::eof()))
            break;
    }
    return done;
}

TSampleFileBuf::pos_type TSampleFileBuf::seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode)
{
    const std::int64_t base = dir == std::ios_base::beg   ? 0
                              : dir == std::ios_base::end ? static_cast<std::int64_t>(FFile.Size())
                                                          : static_cast<std::int64_t>(eback() ? Position() : FBufferStart);
    const std::int64_t target = base + offset;
    if (target < 0)
        return pos_type(off_type(-1));
    FBufferStart = static_cast<std::uint64_t>(target);
    setg(nullptr, nullptr, nullptr);
    return pos_type(target);
}

TSampleFileBuf::pos_type TSampleFileBuf::seekpos(pos_type position, std::ios_base::openmode mode)
{
    return seekoff(off_type(position), std::ios_base::beg, mode);
}
