#include "window/Contrast.h"

#include <algorithm>
#include <cmath>

namespace {

double linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

// The colour moved a share (0..1) of the way towards target, channel by channel.
QColor towards(const QColor& from, const QColor& target, double share) {
    auto mix = [share](double a, double b) { return a + (b - a) * share; };
    return QColor::fromRgbF(static_cast<float>(mix(from.redF(), target.redF())),
                            static_cast<float>(mix(from.greenF(), target.greenF())),
                            static_cast<float>(mix(from.blueF(), target.blueF())));
}

} // namespace

double RelativeLuminance(const QColor& colour) {
    const QColor c = colour.toRgb();
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& wanted, const QColor& background, double ratio) {
    // The smallest step towards black or towards white that is readable; the nearer one wins.
    constexpr int kSteps = 100;
    for (int step = 0; step <= kSteps; ++step) {
        const double share = static_cast<double>(step) / kSteps;
        for (const QColor& end : {QColor(Qt::black), QColor(Qt::white)}) {
            const QColor candidate = towards(wanted, end, share);
            if (ContrastRatio(candidate, background) >= ratio)
                return candidate;
        }
    }
    return ContrastRatio(Qt::black, background) >= ContrastRatio(Qt::white, background) ? QColor(Qt::black)
                                                                                        : QColor(Qt::white);
}

QPalette SelectionPalette(QPalette palette) {
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor tint =
            towards(palette.color(group, QPalette::Highlight), palette.color(group, QPalette::Base), 0.7);
        palette.setColor(group, QPalette::Highlight, tint);
        palette.setColor(group, QPalette::HighlightedText, palette.color(group, QPalette::Text));
    }
    return palette;
}
