// SPDX-License-Identifier: MIT
// The class installer as the device setup loads it.
#include "usb/tests/ExportedSymbols.h"

#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using Installer = std::uint32_t(std::uint32_t, void*, void*);

std::string Library()
{
    const char* dir = std::getenv("TARN_PROGRAM_DIR");
    return std::string(dir != nullptr && *dir != '\0' ? dir : CLASSHOOK_TEST_PROGRAM_DIR) + "/libclasshook.so";
}

TEST(ClassHook, EveryRequestAsksForTheDefaultAction)
{
    void* handle = dlopen(Library().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto* installer = reinterpret_cast<Installer*>(dlsym(handle, "MeasuringClassInstaller"));
    ASSERT_NE(installer, nullptr);
    int info = 0;
    for (std::uint32_t code : {0x01u, 0x02u, 0x19u, 0x22u, 0x7FFFu, 0xFFFFFFFFu, 0u}) {
        EXPECT_EQ(installer(code, nullptr, nullptr), 0xE000020Eu) << code;
        EXPECT_EQ(installer(code, &info, &info), 0xE000020Eu) << code;
    }
    dlclose(handle);
}

TEST(ClassHook, ExportsOnlyTheInstaller)
{
    const auto symbols = tarn::test::DefinedDynamicSymbols(Library());
    if (!symbols.ok)
        GTEST_SKIP() << "nm is not available";
    EXPECT_EQ(symbols.names, std::set<std::string>{"MeasuringClassInstaller"});
}

} // namespace
