#include "views/DataFormat.h"

#include <algorithm>

namespace {

constexpr uint8_t kMaxUnit = 2;

size_t MaxNodes(DataKind kind, size_t unitBytes) {
  const size_t byBytes = kMaxFrameBytes / unitBytes;
  return kind == DataKind::Raw ? std::min(byBytes, kMaxRawNodes) : byBytes;
}

}  // namespace

namespace {

// By kind: the options dialog's row name and the page button's caption (the
// stylus has no page of its own).
struct KindNames {
  const char* name;
  const char* caption;
};
constexpr std::array<KindNames, kDataKindCount> kKindNames = {{
    {"RawData", "原始值"},
    {"DiffData", "差值"},
    {"OtherData", "其它数据"},
    {"StylusData", "Stylus"},
}};

const KindNames& NamesOf(DataKind kind) {
  const auto i = static_cast<size_t>(kind);
  static constexpr KindNames kUnknown{"?", "?"};
  return i < kKindNames.size() ? kKindNames[i] : kUnknown;
}

}  // namespace

const char* DataKindName(DataKind kind) { return NamesOf(kind).name; }

const char* DataKindCaption(DataKind kind) { return NamesOf(kind).caption; }

size_t DataFormat::NodeCount() const {
  if (rows <= 0 || cols <= 0) return 0;
  return static_cast<size_t>(rows) * static_cast<size_t>(cols);
}

DataFormat DefaultFormat(DataKind kind) {
  DataFormat f;
  f.rows = 30;
  f.cols = 42;
  f.isSigned = 0;
  f.littleEndian = 1;
  switch (kind) {
    case DataKind::Raw:
      f.address = 0x8B98;
      f.unit = 1;
      break;
    case DataKind::Diff:
      f.address = 0xBB10;
      f.unit = 0;
      break;
    case DataKind::Observe:
      f.address = 0x81C0;
      f.unit = 1;
      break;
    case DataKind::Stylus:
      f.address = 0xC530;
      f.unit = 0;
      break;
  }
  return f;
}

std::string CheckFormat(DataKind kind, const DataFormat& format) {
  const std::string name = std::string(DataKindName(kind)) + "：";
  if (format.rows < 1 || format.cols < 1) {
    return name + "行数和列数至少为 1（" + std::to_string(format.rows) + " x " +
           std::to_string(format.cols) + "）";
  }
  if (format.unit > kMaxUnit) {
    return name + "数据位宽只能是 8、16 或 32 位（Bit " + std::to_string(format.unit) + "）";
  }
  const size_t nodes = format.NodeCount();
  const size_t bytes = nodes * format.UnitBytes();
  if (bytes > kMaxFrameBytes) {
    return name + std::to_string(format.rows) + " x " + std::to_string(format.cols) + " x " +
           std::to_string(format.UnitBytes()) + " 字节超过 " + std::to_string(kMaxFrameBytes) +
           " 字节";
  }
  if (kind == DataKind::Raw && nodes > kMaxRawNodes) {
    return name + std::to_string(nodes) + " 个数值超过 " + std::to_string(kMaxRawNodes) + " 个";
  }
  return {};
}

FrameRequestSize PlanFrameRequest(DataKind kind, const DataFormat& format) {
  if (format.unit > kMaxUnit) return {};
  const size_t unitBytes = format.UnitBytes();
  const size_t nodes = std::min(format.NodeCount(), MaxNodes(kind, unitBytes));
  return {nodes, nodes * unitBytes};
}
