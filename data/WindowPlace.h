// SPDX-License-Identifier: MIT
// Where a window was left, kept in a settings document as four whole numbers
// under one element (left, top, width, height); an older file without them
// keeps the window where it opens by itself. What a file says is checked
// against the screens there are now, so a window never opens off-screen.
#pragma once
#include <optional>
#include <string>
#include <vector>

class TXMLSettings;

struct TWindowPlace {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const TWindowPlace&) const = default;
};

// The place under element (for example "/window"); nothing when an entry is
// missing or unreadable, or the size is not positive.
std::optional<TWindowPlace> ReadWindowPlace(const TXMLSettings& store, const std::string& element);
void WriteWindowPlace(TXMLSettings& store, const std::string& element, const TWindowPlace& place);

// The place on the screens' available areas (the first is the primary one):
// at least the least size and at most the size of the screen it lands on,
// wholly inside the screen it overlaps most; centred on the primary screen
// when it overlaps none. Without screens the wanted place is kept as it is.
TWindowPlace FitWindowPlace(const TWindowPlace& wanted, int leastWidth, int leastHeight,
                            const std::vector<TWindowPlace>& screens);
