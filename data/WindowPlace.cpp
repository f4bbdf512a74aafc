// SPDX-License-Identifier: MIT
#include "data/WindowPlace.h"

#include "data/XMLSettings.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

constexpr const char* kNames[] = {"/left", "/top", "/width", "/height"};

std::int64_t Overlap(const TWindowPlace& a, const TWindowPlace& b)
{
    const std::int64_t w = std::min<std::int64_t>(std::int64_t{a.Left} + a.Width, std::int64_t{b.Left} + b.Width)
                           - std::max(a.Left, b.Left);
    const std::int64_t h =
        std::min<std::int64_t>(std::int64_t{a.Top} + a.Height, std::int64_t{b.Top} + b.Height) - std::max(a.Top, b.Top);
    return w > 0 && h > 0 ? w * h : 0;
}

// start moved so that [start, start + length) lies in [low, low + room), or at low when it cannot.
int Inside(int start, int length, int low, int room)
{
    const std::int64_t last = std::int64_t{low} + room - length;
    return static_cast<int>(std::max<std::int64_t>(low, std::min<std::int64_t>(start, last)));
}

} // namespace

std::optional<TWindowPlace> ReadWindowPlace(const TXMLSettings& store, const std::string& element)
{
    int values[4] = {};
    for (int i = 0; i < 4; ++i) {
        // Sentinel defaults: a missing entry is told apart from any number a file may hold.
        const std::int32_t a = store.ReadInt(element + kNames[i], INT_MIN);
        const std::int32_t b = store.ReadInt(element + kNames[i], INT_MAX);
        if (a != b)
            return std::nullopt;
        values[i] = a;
    }
    const TWindowPlace place{values[0], values[1], values[2], values[3]};
    if (place.Width <= 0 || place.Height <= 0)
        return std::nullopt;
    return place;
}

void WriteWindowPlace(TXMLSettings& store, const std::string& element, const TWindowPlace& place)
{
    const int values[] = {place.Left, place.Top, place.Width, place.Height};
    for (int i = 0; i < 4; ++i)
        store.WriteInt(element + kNames[i], values[i]);
}

TWindowPlace FitWindowPlace(const TWindowPlace& wanted, int leastWidth, int leastHeight,
                            const std::vector<TWindowPlace>& screens)
{
    if (screens.empty())
        return wanted;
    TWindowPlace place = wanted;
    place.Width = std::max(place.Width, leastWidth);
    place.Height = std::max(place.Height, leastHeight);
    const TWindowPlace* screen = &screens.front();
    std::int64_t best = 0;
    for (const TWindowPlace& s : screens) {
        if (const std::int64_t o = Overlap(place, s); o > best) {
            best = o;
            screen = &s;
        }
    }
    place.Width = std::max(std::min(place.Width, screen->Width), std::min(leastWidth, screen->Width));
    place.Height = std::max(std::min(place.Height, screen->Height), std::min(leastHeight, screen->Height));
    if (best == 0) {
        place.Left = screen->Left + (screen->Width - place.Width) / 2;
        place.Top = screen->Top + (screen->Height - place.Height) / 2;
    }
    place.Left = Inside(place.Left, place.Width, screen->Left, screen->Width);
    place.Top = Inside(place.Top, place.Height, screen->Top, screen->Height);
    return place;
}
