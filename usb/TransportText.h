// SPDX-License-Identifier: MIT
// What carries the requests, and how that crosses the C exports: NUL-terminated
// texts in caller buffers, cut to fit, and read back as untrusted.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace vireo {

// What carries the requests, told to the user: a kind from a small
// vocabulary ("usb", "virtual"), and where it is (a bus address, a socket).
struct Description {
    std::string kind;
    std::string detail;
};

// Longest kind and detail that are passed on; a longer one is cut.
inline constexpr std::size_t kMaxKindLength = 31;
inline constexpr std::size_t kMaxDetailLength = 255;

// Writes text into buffer of capacity bytes, always terminated; false without room.
inline bool CopyToBuffer(const std::string& text, char* buffer, std::int32_t capacity) noexcept
{
    if (buffer == nullptr || capacity <= 0)
        return false;
    const std::size_t n =
        text.size() < static_cast<std::size_t>(capacity) ? text.size() : static_cast<std::size_t>(capacity) - 1;
    text.copy(buffer, n);
    buffer[n] = '\0';
    return true;
}

// The text another library left in buffer: up to the first NUL inside
// capacity, at most limit bytes, printable ASCII only (anything else becomes
// '?'), so a broken or foreign library cannot feed control characters or
// unterminated memory to the window.
inline std::string ReadFromBuffer(const char* buffer, std::size_t capacity, std::size_t limit)
{
    std::string text;
    for (std::size_t i = 0; i < capacity && i < limit && buffer[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(buffer[i]);
        text.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    }
    return text;
}

// Asks describe(kind, capacity, detail, capacity), an export of another
// library, and reads what it wrote; false when it wrote nothing usable.
template <typename Describe> bool ReadDescription(Describe describe, Description& out)
{
    // A byte past each limit, so an overlong text is cut here too.
    char kind[kMaxKindLength + 2] = {};
    char detail[kMaxDetailLength + 2] = {};
    if (describe(kind, std::int32_t{sizeof kind}, detail, std::int32_t{sizeof detail}) == 0)
        return false;
    out.kind = ReadFromBuffer(kind, sizeof kind, kMaxKindLength);
    out.detail = ReadFromBuffer(detail, sizeof detail, kMaxDetailLength);
    return !out.kind.empty();
}

} // namespace vireo
