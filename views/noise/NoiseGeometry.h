#pragma once
// Where the noise graph puts things in a client area of w x h pixels: the
// axes, the plot size, one x position per frequency index, the y labels, and
// the index a marker at a cursor x stands for. Pure functions, so the
// guards (tiny windows, empty ranges, indices from the chip outside the
// range) can be pinned without drawing.

#include <optional>
#include <vector>

#include "views/noise/NoiseFrame.h"

struct NoiseGeometry {
  int width = 0;
  int height = 0;
  int axisX = 30;  // the y axis
  int axisY = 0;   // the x axis
  int plotW = 0;
  int plotH = 0;
  int pitch = 0;
  std::vector<float> xs;  // x of index start + k
};

NoiseGeometry ComputeNoiseGeometry(int width, int height, NoiseRange range);

// The y labels' step cut to its leading digit: 51 -> 50, 1200 -> 1000.
int CutToLeadingDigit(int step);

struct YLabel {
  int value;
  float y;
};
// Labels 0, step, 2 step, ... while they lie above the window's top; none
// when the pixel step would not advance.
std::vector<YLabel> ComputeYLabels(int yMax, int height);

// The y axis maximum after a value v: raised by a fifth when v comes close
// to it, halved (never below 50) when v is under a third; nullopt when it
// stays.
std::optional<int> AutoScaleY(int v, int yMax);
inline constexpr int kMinYMax = 50;

// Pixel y of a value on the graph (integer, as the points are placed).
int NoiseY(const NoiseGeometry& g, long long value, int yMax);

// The frequency index a dragged marker stands for at cursor x: start at the
// left, never above End - 2 (the second marker sits two further).
int DragIndex(int cursorX, const NoiseGeometry& g, NoiseRange range);

// x of the marker of an index; nullopt for indices outside the range.
std::optional<float> MarkerX(int index, const NoiseGeometry& g, NoiseRange range);

// Whether a press at (x, y) takes hold of the FreqA marker or, on
// dual-frequency chips, the FreqB marker.
bool HitsMarker(int x, int y, int freqA, std::optional<int> freqB, const NoiseGeometry& g,
                NoiseRange range);
