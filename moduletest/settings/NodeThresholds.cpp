#include "moduletest/settings/NodeThresholds.h"

#include <algorithm>
#include <array>
#include <limits>

#include "device/DecimalPrefix.h"
#include "device/LogSink.h"
#include "platform/files/IniFile.h"

NodeList ParseNodeList(std::string_view text) {
  NodeList list;
  while (!text.empty()) {
    ++list.count;
    if (list.values.size() < kMaxRawNodes) {
      // Any value the sampling tools write reads back, the lowest one too.
      list.values.push_back(DecimalPrefix(text, std::numeric_limits<int32_t>::min(),
                                          std::numeric_limits<int32_t>::max()));
    }
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return list;
}

bool LoadNodeThresholds(const std::filesystem::path& ini, int32_t rows, int32_t cols,
                        const NodeLimitFallbacks& fallbacks, NodeArrays& nodes, ILogSink* log) {
  if (rows <= 0 || cols <= 0 ||
      static_cast<int64_t>(rows) * cols > static_cast<int64_t>(kMaxRawNodes)) {
    if (log != nullptr) {
      log->AddLog("节点阈值无法载入：面板" + std::to_string(rows) + "x" + std::to_string(cols) +
                      "超出" + std::to_string(kMaxRawNodes) + "个节点",
                  LOG_ERROR);
    }
    return false;
  }
  const size_t nodesUsed = static_cast<size_t>(rows) * static_cast<size_t>(cols);
  struct Target {
    const char* key;
    std::array<int32_t, NodeArrays::kNodes>* limits;
    int32_t fallback;
  };
  const Target targets[] = {
      {"Adjacent Deviation", &nodes.NodeAdjDevLimit, fallbacks.adjacentDeviation},
      {"Max", &nodes.NodeMaxLimit, fallbacks.max},
      {"Min", &nodes.NodeMinLimit, fallbacks.min},
  };
  for (const Target& t : targets) {
    const std::string text =
        ini.empty() ? std::string() : platform::IniGetString("Node threshold", t.key, "", ini);
    const NodeList list = ParseNodeList(text);
    if (list.count == nodesUsed) {
      std::copy(list.values.begin(), list.values.end(), t.limits->begin());
      continue;
    }
    if (list.count != 0 && log != nullptr) {
      log->AddLog(ini.string() + " [Node threshold] \"" + t.key + "\"有" +
                      std::to_string(list.count) + "个值，面板为" + std::to_string(rows) + "x" +
                      std::to_string(cols) + "，改用统一阈值" + std::to_string(t.fallback),
                  LOG_ERROR);
    }
    std::fill(t.limits->begin(), t.limits->begin() + static_cast<std::ptrdiff_t>(nodesUsed),
              t.fallback);
  }
  return true;
}
