// SPDX-License-Identifier: MIT
#include "usb/Backend.h"
#include "usb/LibusbTransport.h"

namespace vireo {

std::unique_ptr<Transport> CreateTransport()
{
    return std::make_unique<LibusbTransport>();
}

} // namespace vireo
