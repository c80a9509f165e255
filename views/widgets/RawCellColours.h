#pragma once
// How the raw view colours a node and words its statistics box.

#include <QColor>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "views/RawStatistics.h"

struct CellColours {
  std::optional<QRgb> fill;
  QRgb text = 0xFF0000FF;
};

// Manual difference (reference - value): blue below zero, red above, the
// colour saturating at +-200; white text on the strong colours (|v| > 100).
CellColours ReferenceColours(int32_t difference);

// Colour scale over the panel statistics: green at the minimum, yellow at the
// average, red at the maximum; values outside min..max take the end colour.
// White while no earlier frame gave statistics, or when the maximum or the
// minimum equals the average.
QRgb ColourScaleFill(int32_t value, const RawPanelStats& stats, size_t framesBefore);

// Plain mode: red text for a node with a limit failure, blue otherwise.
QRgb PlainTextColour(uint16_t failFlags);

// The statistics box: maximum, minimum, attenuation, jitter, adjacent
// deviation; the two percentages read "N/A" from 100 % and 300 % on.
QStringList RawOverlayLines(const RawPanelStats& stats);
