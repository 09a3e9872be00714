#pragma once

#include <QColor>
#include <QPalette>

// Contrast of text against its background as WCAG 2.x measures it: relative luminance of sRGB
// colours, and the ratio (L1 + 0.05) / (L2 + 0.05), from 1 to 21.
double RelativeLuminance(const QColor& colour);
double ContrastRatio(const QColor& a, const QColor& b);

// Readable text has at least this ratio against its background (WCAG 2.x, level AA).
inline constexpr double kReadableContrast = 4.5;

// The colour closest to wanted, darker or lighter in its own hue, whose contrast with background
// reaches ratio. Black or white always does for 4.5, so there is always an answer.
QColor ReadableOn(const QColor& wanted, const QColor& background, double ratio = kReadableContrast);

// The palette with a selection that is a tint of its highlight over the list's base, carrying the
// ordinary text colour: on it black or white text and a red failure stay readable, which a
// saturated mid-blue selection allows neither.
QPalette SelectionPalette(QPalette palette);
