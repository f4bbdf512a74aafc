// SPDX-License-Identifier: MIT
// The caller's communication-failure byte and the callback that sets it.
#pragma once
#include <cstdint>

namespace tarn::drv {

class TFailureFlag {
public:
    void Register(std::uint8_t* address) { Address_ = address; }
    std::uint8_t* Address() const { return Address_; }
    // Writes only while a byte is registered.
    void Write(std::uint8_t value) const
    {
        if (Address_ != nullptr)
            *Address_ = value;
    }
    // A failed transfer: counted, and the value written.
    void Report(std::uint8_t value)
    {
        ++Failures_;
        Write(value);
    }
    std::uint32_t Failures() const { return Failures_; }

private:
    std::uint8_t* Address_ = nullptr;
    std::uint32_t Failures_ = 0;
};

// The one flag of the library, reached by the USB library's callback.
TFailureFlag& DriverFailureFlag();

// Registered with the USB library; it passes 0 on every failed transfer.
extern "C" void TarnDriverFailureCallback(std::int32_t code);

} // namespace tarn::drv
