#pragma once
// Sets the font database up on the UI thread before any render thread
// measures text (the first QFontMetrics must not come from a worker).
// Call from a widget's constructor; only the first call does anything.
void PrepareFonts();
