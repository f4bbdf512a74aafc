// SPDX-License-Identifier: MIT
#include "device/DynamicLibrary.h"

#include <dlfcn.h>

namespace tarn {

bool TDynamicLibrary::Open(const std::string& path)
{
    Close();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void TDynamicLibrary::Close()
{
    if (handle_ != nullptr) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

void* TDynamicLibrary::Symbol(const char* name) const
{
    return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

} // namespace tarn
