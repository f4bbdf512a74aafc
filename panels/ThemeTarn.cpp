// SPDX-License-Identifier: MIT
#include "panels/ThemeTarn.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include <cmath>
#include <vector>

namespace tarn {

namespace {

double Linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

QColor WithLightness(const QColor& colour, int lightness)
{
    const QColor hsl = colour.toHsl();
    return QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), lightness, colour.alpha()).toRgb();
}

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 0x80, 0);
const QColor kBlue(0, 0, 255);

// One filter on the application for all: every event of the program passes it.
class TPaletteWatch : public QObject {
public:
    static TPaletteWatch* Instance()
    {
        // Goes with the application; a later application gets its own.
        static QPointer<TPaletteWatch> watch;
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr)
            return nullptr;
        if (watch == nullptr) {
            watch = new TPaletteWatch(app);
            app->installEventFilter(watch);
        }
        return watch;
    }
    void Add(QObject& owner, std::function<void()> changed) { watched_.push_back({&owner, std::move(changed)}); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != parent() || event->type() != QEvent::ApplicationPaletteChange)
            return false;
        std::erase_if(watched_, [](const TEntry& e) { return e.owner == nullptr; });
        // A copy: a call may add another.
        const std::vector<TEntry> now = watched_;
        for (const TEntry& e : now)
            if (e.owner != nullptr)
                e.changed();
        return false;
    }

private:
    explicit TPaletteWatch(QObject* app) : QObject(app) {}
    struct TEntry {
        QPointer<QObject> owner;
        std::function<void()> changed;
    };
    std::vector<TEntry> watched_;
};

} // namespace

void OnPaletteChange(QObject& owner, std::function<void()> changed)
{
    if (TPaletteWatch* watch = TPaletteWatch::Instance())
        watch->Add(owner, std::move(changed));
}

double RelativeLuminance(const QColor& colour)
{
    const QColor c = colour.toRgb();
    return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Readable(const QColor& wanted, const QColor& background, double ratio)
{
    if (ContrastRatio(wanted, background) >= ratio)
        return wanted.toRgb();
    const int start = wanted.toHsl().lightness();
    // Black and white have equal contrast to a luminance of about 0.18: on a
    // lighter background darker colours gain, on a darker one lighter ones.
    const int first = RelativeLuminance(background) > 0.179 ? -1 : 1;
    QColor best = wanted.toRgb();
    for (const int direction : {first, -first}) {
        for (int l = start + direction; l >= 0 && l <= 255; l += direction) {
            const QColor candidate = WithLightness(wanted, l);
            if (ContrastRatio(candidate, background) >= ratio)
                return candidate;
            if (ContrastRatio(candidate, background) > ContrastRatio(best, background))
                best = candidate;
        }
    }
    return best;
}

TPanelColours PanelColours(const QPalette& palette)
{
    TPanelColours c;
    c.WarningText = Qt::white;
    c.WarningBack = Readable(kRed, c.WarningText);
    c.Link = Readable(kBlue, palette.color(QPalette::Active, QPalette::Window));
    c.CheckedText = palette.color(QPalette::Active, QPalette::HighlightedText);
    // A little beyond 4.5: the short captions of small buttons hardly have a
    // pixel of their full colour at scale 1.
    c.CheckedBack = Readable(palette.color(QPalette::Active, QPalette::Highlight), c.CheckedText, 5.0);
    c.ButtonText = Readable(palette.color(QPalette::Active, QPalette::ButtonText),
                            palette.color(QPalette::Active, QPalette::Button));
    return c;
}

const TScaleColours& ScaleColours()
{
    static const TScaleColours colours = [] {
        TScaleColours c;
        // The grey of 160 would leave white at 2.6:1; 48 carries all three.
        c.Background = QColor(48, 48, 48);
        c.Scale = Qt::white;
        c.SoftwareMarker = Readable(kRed, c.Background);
        c.DeviceMarker = Readable(kGreen, c.Background);
        return c;
    }();
    return colours;
}

} // namespace tarn
