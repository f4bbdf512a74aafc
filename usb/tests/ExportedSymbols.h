// SPDX-License-Identifier: MIT
// Dynamic symbols a shared library defines, as `nm -D --defined-only` lists them.
#pragma once
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>

namespace tarn::test {

// Empty optional-like: ok is false when nm could not be run.
struct SymbolList {
    bool ok = false;
    std::set<std::string> names;
};

inline SymbolList DefinedDynamicSymbols(const std::string& library)
{
    SymbolList list;
    const std::string command = "nm -D --defined-only '" + library + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
    if (!pipe)
        return list;
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get()) != nullptr) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name)
            list.names.insert(name);
    }
    list.ok = pclose(pipe.release()) == 0;
    return list;
}

} // namespace tarn::test
