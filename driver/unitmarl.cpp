// SPDX-License-Identifier: MIT
#include "driver/unitmarl.h"

#include "data/ConfigurationImage.h"

#include <array>

namespace tarn::drv {

namespace {

// The image is kept as a short description rather than 128 KiB of data:
// each section is expanded byte by byte when the device is configured.
enum class TSectionKind { Text, Fill, Frames, Trailer };

struct TSection {
    TSectionKind Kind;
    std::uint32_t Length;
    std::uint32_t Param; // fill byte, frame seed or stored check sum
    const char* Text;
};

constexpr char kHeader[] = "TARN LOGIC IMAGE\n"
                           "design=tarn_awg_core\n"
                           "revision=1\n"
                           "bytes=131022\n"
                           "content=generated frames\n";
constexpr char kSync[] = "\xAA\x99\x55\x66";

constexpr std::uint32_t kHeaderBlock = 128;
constexpr std::uint32_t kFrameBytes = 256;
constexpr std::uint32_t kSyncBytes = 4;
constexpr std::uint32_t kTrailerBytes = 4;
constexpr std::uint32_t kFrameRegion =
    static_cast<std::uint32_t>(kConfigurationImageSize) - kHeaderBlock - kSyncBytes - kTrailerBytes;
// CRC-32 of everything before the trailer, as the generator below produces it.
constexpr std::uint32_t kStoredCheckSum = 0xDC84270Fu;

constexpr std::array<TSection, 5> kSections = {{
    {TSectionKind::Text, sizeof(kHeader) - 1, 0, kHeader},
    {TSectionKind::Fill, kHeaderBlock - (sizeof(kHeader) - 1), 0xFF, nullptr},
    {TSectionKind::Text, kSyncBytes, 0, kSync},
    {TSectionKind::Frames, kFrameRegion, 0x2545F491u, nullptr},
    {TSectionKind::Trailer, kTrailerBytes, kStoredCheckSum, nullptr},
}};

static_assert(sizeof(kHeader) - 1 < kHeaderBlock);

constexpr std::size_t TotalLength()
{
    std::size_t total = 0;
    for (const TSection& section : kSections)
        total += section.Length;
    return total;
}
static_assert(TotalLength() == kConfigurationImageSize);

// Frames: a big-endian frame number, then sparse pseudo-random bytes.
class TFrameStream {
public:
    explicit TFrameStream(std::uint32_t seed) : State_(seed) {}
    std::uint8_t Next()
    {
        const std::uint32_t offset = Position_ % kFrameBytes;
        const std::uint32_t frame = Position_ / kFrameBytes;
        ++Position_;
        if (offset < 4)
            return static_cast<std::uint8_t>(frame >> (8 * (3 - offset)));
        State_ ^= State_ << 13;
        State_ ^= State_ >> 17;
        State_ ^= State_ << 5;
        return ((State_ >> 8) & 3u) == 0 ? static_cast<std::uint8_t>(State_) : 0;
    }

private:
    std::uint32_t State_;
    std::uint32_t Position_ = 0;
};

} // namespace

const char* ConfigurationImageName()
{
    return kHeader;
}

std::vector<std::uint8_t> RestoreConfigurationImage()
{
    std::vector<std::uint8_t> image(kConfigurationImageSize);
    std::size_t at = 0;
    for (const TSection& section : kSections) {
        TFrameStream frames(section.Param);
        for (std::uint32_t i = 0; i < section.Length; ++i) {
            std::uint8_t byte = 0;
            switch (section.Kind) {
            case TSectionKind::Text:
                byte = static_cast<std::uint8_t>(section.Text[i]);
                break;
            case TSectionKind::Fill:
                byte = static_cast<std::uint8_t>(section.Param);
                break;
            case TSectionKind::Frames:
                byte = frames.Next();
                break;
            case TSectionKind::Trailer:
                byte = static_cast<std::uint8_t>(section.Param >> (8 * i));
                break;
            }
            image[at++] = byte;
        }
    }
    return image;
}

} // namespace tarn::drv
