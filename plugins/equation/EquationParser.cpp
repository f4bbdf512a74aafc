// SPDX-License-Identifier: MIT
#include "EquationParser.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <numbers>

namespace tarnplugin {

struct TEquationNode {
    enum Kind { Number, Variable, Unary, Binary, Call } kind = Number;
    double value = 0.0;
    char op = 0;
    double (*function1)(double) = nullptr;
    double (*function2)(double, double) = nullptr;
    int depth = 1; // levels of this subtree, which Eval recurses through
    std::vector<std::unique_ptr<TEquationNode>> args;

    double Eval(double t) const
    {
        switch (kind) {
        case Number:
            return value;
        case Variable:
            return t;
        case Unary:
            return -args[0]->Eval(t);
        case Binary: {
            const double a = args[0]->Eval(t);
            const double b = args[1]->Eval(t);
            switch (op) {
            case '+':
                return a + b;
            case '-':
                return a - b;
            case '*':
                return a * b;
            case '/':
                return a / b;
            default:
                return std::pow(a, b);
            }
        }
        case Call:
            return function1 != nullptr ? function1(args[0]->Eval(t)) : function2(args[0]->Eval(t), args[1]->Eval(t));
        }
        return 0.0;
    }
};

namespace {

using TNode = std::unique_ptr<TEquationNode>;

static_assert(tarnplugin::TEquation::MaxDepth == 200, "the message below names the limit");

struct TParseError {
    int position;
    std::string text;
};

double Frac(double x)
{
    return x - std::floor(x);
}

struct TFunction {
    const char* name;
    double (*one)(double);
    double (*two)(double, double);
};

// The periodic helpers take a phase in periods (1 = one cycle) and give -1 .. 1.
const TFunction kFunctions[] = {
    {"sin", [](double x) { return std::sin(x); }, nullptr},
    {"cos", [](double x) { return std::cos(x); }, nullptr},
    {"tan", [](double x) { return std::tan(x); }, nullptr},
    {"exp", [](double x) { return std::exp(x); }, nullptr},
    {"log", [](double x) { return std::log(x); }, nullptr},
    {"sqrt", [](double x) { return std::sqrt(x); }, nullptr},
    {"abs", [](double x) { return std::fabs(x); }, nullptr},
    {"floor", [](double x) { return std::floor(x); }, nullptr},
    {"sign", [](double x) { return x > 0   ? 1.0
                                   : x < 0 ? -1.0
                                           : 0.0; }, nullptr},
    {"square", [](double x) { return Frac(x) < 0.5 ? 1.0 : -1.0; }, nullptr},
    {"saw", [](double x) { return 2.0 * Frac(x) - 1.0; }, nullptr},
    {"triangle", [](double x) { return 1.0 - 4.0 * std::fabs(Frac(x + 0.25) - 0.5); }, nullptr},
    {"pow", nullptr, [](double a, double b) { return std::pow(a, b); }},
    {"min", nullptr, [](double a, double b) { return std::min(a, b); }},
    {"max", nullptr, [](double a, double b) { return std::max(a, b); }},
};

class TParser {
public:
    explicit TParser(const std::string& text) : text_(text) {}

    TNode Parse()
    {
        TNode node = Sum();
        Skip();
        if (pos_ < text_.size()) {
            Fail("unexpected character");
        }
        return node;
    }

private:
    [[noreturn]] void Fail(const std::string& why) const { throw TParseError{static_cast<int>(pos_), why}; }
    void Skip()
    {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) {
            ++pos_;
        }
    }
    bool Accept(char c)
    {
        Skip();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    void Expect(char c, const char* why)
    {
        if (!Accept(c)) {
            Fail(why);
        }
    }
    TNode Make(TEquationNode::Kind kind, char op, TNode a, TNode b = nullptr)
    {
        auto node = std::make_unique<TEquationNode>();
        node->kind = kind;
        node->op = op;
        node->args.push_back(std::move(a));
        if (b) {
            node->args.push_back(std::move(b));
        }
        Deepen(*node);
        return node;
    }
    // A long chain such as t+t+...+t nests no bracket but makes a deep tree.
    void Deepen(TEquationNode& node) const
    {
        for (const TNode& arg : node.args) {
            node.depth = std::max(node.depth, arg->depth + 1);
        }
        if (node.depth > TEquation::MaxDepth) {
            Fail(kTooDeep);
        }
    }
    // One level per bracket, call, sign or exponent: each recursion of the parser.
    class TLevel {
    public:
        explicit TLevel(TParser& parser) : parser_(parser)
        {
            if (++parser_.level_ > TEquation::MaxDepth) {
                parser_.Fail(kTooDeep);
            }
        }
        ~TLevel() { --parser_.level_; }
        TLevel(const TLevel&) = delete;
        TLevel& operator=(const TLevel&) = delete;

    private:
        TParser& parser_;
    };
    // Left-associative operators first and second over operands from next.
    TNode LeftChain(TNode (TParser::*next)(), char first, char second)
    {
        TNode left = (this->*next)();
        for (;;) {
            const char op = Accept(first) ? first : Accept(second) ? second : 0;
            if (op == 0) {
                return left;
            }
            left = Make(TEquationNode::Binary, op, std::move(left), (this->*next)());
        }
    }
    TNode Sum() { return LeftChain(&TParser::Product, '+', '-'); }
    TNode Product() { return LeftChain(&TParser::Unary, '*', '/'); }
    // Unary minus binds looser than the power: -t^2 is -(t^2).
    TNode Unary()
    {
        if (Accept('-')) {
            const TLevel level(*this);
            return Make(TEquationNode::Unary, '-', Unary());
        }
        if (Accept('+')) {
            const TLevel level(*this);
            return Unary();
        }
        return Power();
    }
    TNode Power()
    {
        TNode base = Primary();
        if (Accept('^')) {
            const TLevel level(*this);
            return Make(TEquationNode::Binary, '^', std::move(base), Unary());
        }
        return base;
    }
    TNode Primary()
    {
        Skip();
        if (pos_ >= text_.size()) {
            Fail("expression expected");
        }
        const char c = text_[pos_];
        if (Accept('(')) {
            const TLevel level(*this);
            TNode inner = Sum();
            Expect(')', "')' expected");
            return inner;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
            return NumberNode();
        }
        if (std::isalpha(static_cast<unsigned char>(c))) {
            return NameNode();
        }
        Fail("expression expected");
    }
    TNode NumberNode()
    {
        // The syntax is the same under every locale: a point, never a comma.
        const char* start = text_.data() + pos_;
        double value = 0.0;
        const auto [end, error] = std::from_chars(start, text_.data() + text_.size(), value);
        if (end == start || (error != std::errc{} && error != std::errc::result_out_of_range)) {
            Fail("number expected");
        }
        if (error == std::errc::result_out_of_range) {
            Fail("number out of range");
        }
        pos_ += static_cast<std::size_t>(end - start);
        auto node = std::make_unique<TEquationNode>();
        node->value = value;
        return node;
    }
    TNode NameNode()
    {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[pos_]))) {
            ++pos_;
        }
        const std::string name = text_.substr(start, pos_ - start);
        auto node = std::make_unique<TEquationNode>();
        if (name == "t") {
            node->kind = TEquationNode::Variable;
            return node;
        }
        if (name == "pi" || name == "e") {
            node->value = name == "pi" ? std::numbers::pi : std::numbers::e;
            return node;
        }
        for (const TFunction& function : kFunctions) {
            if (name == function.name) {
                node->kind = TEquationNode::Call;
                node->function1 = function.one;
                node->function2 = function.two;
                Expect('(', "'(' expected");
                const TLevel level(*this);
                node->args.push_back(Sum());
                if (function.two != nullptr) {
                    Expect(',', "',' expected");
                    node->args.push_back(Sum());
                }
                Expect(')', "')' expected");
                Deepen(*node);
                return node;
            }
        }
        pos_ = start;
        Fail("unknown name '" + name + "'");
    }

    static constexpr const char* kTooDeep = "expression nested too deeply (at most 200 levels)";

    const std::string& text_;
    std::size_t pos_ = 0;
    int level_ = 0;
};

} // namespace

TEquation::TEquation() = default;
TEquation::~TEquation() = default;
TEquation::TEquation(TEquation&&) noexcept = default;
TEquation& TEquation::operator=(TEquation&&) noexcept = default;

bool TEquation::Parse(const std::string& text)
{
    try {
        root_ = TParser(text).Parse();
        ErrorPosition = -1;
        ErrorText.clear();
        return true;
    } catch (const TParseError& error) {
        ErrorPosition = error.position;
        ErrorText = error.text;
        return false;
    }
}

double TEquation::Evaluate(double t) const
{
    return root_ ? root_->Eval(t) : 0.0;
}

std::vector<unsigned short> TEquation::Sample(int count, int range) const
{
    std::vector<unsigned short> samples(static_cast<std::size_t>(std::max(count, 0)));
    const double zero = range / 2;
    const double amplitude = std::max(range / 2 - 1, 0);
    for (int i = 0; i < count; ++i) {
        double v = Evaluate(static_cast<double>(i) / count);
        // NaN and infinities (log of a negative, a division by zero) give the zero code.
        v = std::isfinite(v) ? std::clamp(v, -1.0, 1.0) : 0.0;
        const double code = std::nearbyint(zero + v * amplitude);
        samples[static_cast<std::size_t>(i)] =
            static_cast<unsigned short>(std::clamp(code, 0.0, std::max(range - 1, 0) * 1.0));
    }
    return samples;
}

} // namespace tarnplugin
