// SPDX-License-Identifier: MIT
#include "remote/ScpiFramer.h"

#include <algorithm>

namespace tarn::scpi {

void TMessageFramer::Reset()
{
    state_ = TState::Normal;
    quote_ = 0;
    lengthDigits_ = 0;
    remaining_ = 0;
    text_.clear();
    head_.clear();
    tooLong_ = false;
}

void TMessageFramer::Drop()
{
    tooLong_ = true;
    head_.assign(text_, 0, std::min(text_.size(), kHeadKept));
    std::string().swap(text_);
}

void TMessageFramer::Put(char c)
{
    if (tooLong_) {
        return;
    }
    if (text_.size() >= kMaxMessage) {
        Drop();
        return;
    }
    text_ += c;
}

std::size_t TMessageFramer::Feed(std::string_view bytes, TMessage& message, bool& done)
{
    done = false;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i++];
        switch (state_) {
        case TState::Normal:
            if (c == '\n' && text_.empty() && !tooLong_) {
                break; // an empty line asks nothing
            }
            if (c == '\n') {
                message.TooLong = tooLong_;
                message.Text = tooLong_ ? std::string() : std::move(text_);
                message.Head = std::move(head_);
                Reset();
                done = true;
                return i;
            }
            if (c == '"' || c == '\'') {
                quote_ = c;
                state_ = TState::Quoted;
            } else if (c == '#') {
                state_ = TState::BlockDigits;
            }
            Put(c);
            break;
        case TState::Quoted:
            // A stray quote must not swallow the session: the line ends the
            // message anyway and the parser reports the open string.
            if (c == '\n') {
                state_ = TState::Normal;
                --i;
                break;
            }
            // A doubled quote reads as Quoted -> Normal -> Quoted again.
            if (c == quote_) {
                state_ = TState::Normal;
            }
            Put(c);
            break;
        case TState::BlockDigits:
            if (c >= '1' && c <= '9') {
                Put(c);
                lengthDigits_ = c - '0';
                remaining_ = 0;
                state_ = TState::BlockLength;
            } else {
                // Not a definite-length block: read on as text, the parser reports it.
                state_ = TState::Normal;
                --i;
            }
            break;
        case TState::BlockLength:
            if (c < '0' || c > '9') {
                state_ = TState::Normal;
                --i; // the parser reports the broken header
                break;
            }
            Put(c);
            remaining_ = remaining_ * 10 + static_cast<std::size_t>(c - '0');
            if (--lengthDigits_ == 0) {
                // A block that cannot fit is not waited for: the rest of the line goes.
                if (remaining_ > kMaxMessage) {
                    Drop();
                    state_ = TState::Discard;
                } else {
                    state_ = remaining_ == 0 ? TState::Normal : TState::BlockData;
                }
            }
            break;
        case TState::BlockData: {
            const std::size_t take = std::min(remaining_, bytes.size() - i + 1);
            const std::string_view chunk = bytes.substr(i - 1, take);
            if (!tooLong_ && text_.size() + chunk.size() <= kMaxMessage) {
                text_.append(chunk);
            } else if (!tooLong_) {
                Drop();
            }
            i += take - 1;
            remaining_ -= take;
            if (remaining_ == 0) {
                state_ = TState::Normal;
            }
            break;
        }
        case TState::Discard:
            if (c == '\n') {
                state_ = TState::Normal;
                --i;
            }
            break;
        }
    }
    return i;
}

} // namespace tarn::scpi
