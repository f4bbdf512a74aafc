// SPDX-License-Identifier: MIT
// Expressions in t for the "Equation" module: parsed once, evaluated per sample.
#pragma once
#include <memory>
#include <string>
#include <vector>

namespace tarnplugin {

struct TEquationNode;

class TEquation {
public:
    TEquation();
    ~TEquation();
    TEquation(TEquation&&) noexcept;
    TEquation& operator=(TEquation&&) noexcept;

    // True when text parses; otherwise ErrorPosition (0-based character) and
    // ErrorText tell where and why, and the previous expression is kept.
    bool Parse(const std::string& text);
    // Deepest nesting of brackets, calls, signs and operators an expression may
    // have: the parser and the evaluator recurse once per level, and the text
    // can come from a stored module data block, not only from the field.
    static constexpr int MaxDepth = 200;
    double Evaluate(double t) const;
    // count samples over one period (t = i / count), each clipped to -1 .. 1 and
    // scaled to codes 0 .. range - 1 with 0 at range div 2.
    std::vector<unsigned short> Sample(int count, int range) const;

    int ErrorPosition = -1;
    std::string ErrorText;

private:
    std::unique_ptr<TEquationNode> root_;
};

} // namespace tarnplugin
