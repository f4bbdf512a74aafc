// SPDX-License-Identifier: MIT
// Owner of one dlopen handle.
#pragma once
#include <string>

namespace tarn {

class TDynamicLibrary {
public:
    TDynamicLibrary() = default;
    ~TDynamicLibrary() { Close(); }
    TDynamicLibrary(const TDynamicLibrary&) = delete;
    TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }
    void* Symbol(const char* name) const;
    // Gives up ownership: the library stays loaded until the process ends.
    void KeepLoaded() { handle_ = nullptr; }

private:
    void* handle_ = nullptr;
};

} // namespace tarn
