#pragma once

#include <QColor>
#include <QPalette>

namespace dw {

// Colours the windows paint besides the palette's own roles, each made from a palette so
// that they follow a light or a dark theme and keep the palette's text readable on them.

// `a` moved towards `b` by `share` (0: a, 1: b), channel by channel, alpha from `a`.
QColor mixColors(const QColor& a, const QColor& b, double share);

// Whether the palette's window background is dark (its lightness below the middle).
bool isDarkPalette(const QPalette& palette);

// The shaded band of alternating row groups in a grid: the base colour moved a little
// towards the text colour (a little more on a dark palette, to stand out from the
// window colour of the other band), so the palette's Text stays readable on it.
QColor shadedBandColor(const QPalette& palette);

// A heading (help's titles): the text colour moved half-way to the highlight.
QColor headingColor(const QPalette& palette);

// The background of a table's heading row (help's tables): the base colour moved a
// little towards the highlight.
QColor titleRowColor(const QPalette& palette);

// The background of a note that must stand out (help's notes): the base colour moved
// towards yellow, less on a dark palette.
QColor noteColor(const QPalette& palette);

// A warning's text (a nearly full drive, a figure that does not apply): a dark red on a
// light window, a light red on a dark one.
QColor warningTextColor(const QPalette& palette);

// `palette` for a picture on white paper (a print, the statistics' white background):
// white window, base and button colours with black text on them, whatever the theme.
QPalette paperPalette(const QPalette& palette);

}  // namespace dw
