// SPDX-License-Identifier: MIT
// Cuts a byte stream into program messages at newlines, except inside
// definite-length binary blocks (a newline ends even an open string), with a
// bound on the length of one message.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tarn::scpi {

struct TMessage {
    std::string Text;
    // Longer than the bound: the text is empty and the message is not run.
    bool TooLong = false;
    // Of a message too long: its first bytes, enough to tell what it was.
    std::string Head;
};

class TMessageFramer {
public:
    static constexpr std::size_t kMaxMessage = std::size_t{1} << 20;
    static constexpr std::size_t kHeadKept = 64;

    // Takes bytes until a message is complete; returns how many it took.
    // done is set when message holds a complete one.
    std::size_t Feed(std::string_view bytes, TMessage& message, bool& done);
    // Part of a message is held (no terminator yet).
    bool Pending() const { return !text_.empty() || tooLong_ || state_ != TState::Normal; }
    void Reset();

private:
    enum class TState { Normal, Quoted, BlockDigits, BlockLength, BlockData, Discard };
    void Put(char c);
    void Drop();

    TState state_ = TState::Normal;
    char quote_ = 0;
    int lengthDigits_ = 0;
    std::size_t remaining_ = 0;
    std::string text_;
    std::string head_;
    bool tooLong_ = false;
};

} // namespace tarn::scpi
