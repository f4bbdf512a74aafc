// SPDX-License-Identifier: MIT
// Reading fuzzer-chosen values off the front of the input, in the manner of
// a byte stream that simply runs dry: past the end every value is 0.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tarn::fuzz {

class TFuzzInput {
public:
    TFuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Empty() const { return size_ == 0; }
    std::size_t Left() const { return size_; }

    template <typename T> T Take()
    {
        T value{};
        const std::size_t n = std::min(sizeof value, size_);
        std::memcpy(&value, data_, n);
        Skip(n);
        return value;
    }
    // Up to count bytes, as a view into the input.
    std::string_view Bytes(std::size_t count)
    {
        const std::size_t n = std::min(count, size_);
        const std::string_view bytes(reinterpret_cast<const char*>(data_), n);
        Skip(n);
        return bytes;
    }
    std::string_view Rest() { return Bytes(size_); }

private:
    void Skip(std::size_t n)
    {
        data_ += n;
        size_ -= n;
    }

    const std::uint8_t* data_;
    std::size_t size_;
};

} // namespace tarn::fuzz
