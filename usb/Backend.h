// SPDX-License-Identifier: MIT
// Each variant of libvireo.so supplies its transport through this one function.
#pragma once
#include "usb/Transport.h"

#include <memory>

namespace vireo {

std::unique_ptr<Transport> CreateTransport();

} // namespace vireo
