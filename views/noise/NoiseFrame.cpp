#include "views/noise/NoiseFrame.h"

CheckedNoiseRange ValidateNoiseRange(int start, int end) {
  CheckedNoiseRange checked;
  checked.range = {start, end};
  const std::string given =
      "(Start=" + std::to_string(start) + ", End=" + std::to_string(end) + ")";
  // Items hold at most 16 bits: anything larger did not come from one.
  if (start < 0 || end < start || start > kMaxNoiseIndex) {
    checked.range = {kDefaultNoiseStart, kDefaultNoiseEnd};
    checked.logLine = "[Noise] 频率范围无效" + given + "，使用默认范围20..70";
  } else if (static_cast<long long>(end) - start + 1 > kNoiseMaxPoints) {
    checked.range.end = start + kNoiseMaxPoints - 1;
    checked.logLine =
        "[Noise] 频率范围超过64点" + given + "，End改为" + std::to_string(checked.range.end);
  }
  return checked;
}
