#include "views/DataFormatLoader.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "device/ChipGlobals.h"
#include "device/HexStrToWord.h"
#include "platform/files/IniFile.h"

namespace {

constexpr size_t kValueBufferChars = 260;
constexpr char kLogPrefix[] = "[数据格式] ";
// A default no stored value holds (and not a blank, which the reader would
// trim away): it means "missing".
constexpr const char* kMissing = "\x01";

// The keys of one kind; a missing address key gives DefaultFormat's address.
// The stylus borrows the raw width key (with its own default) and the
// difference sign key.
struct KindKeys {
  DataKind kind;
  const char* addrSection;
  const char* addrKey;
  const char* rowsKey;
  const char* colsKey;
  const char* unitKey;
  int32_t unitDefault;
  const char* signedKey;
};

constexpr KindKeys kKeys[kDataKindCount] = {
    {DataKind::Raw, "BasicData", "RawDataAddr", "RawDataRows", "RawDataCols", "RawUnitOfByte", 2,
     "bRawSigned"},
    {DataKind::Diff, "BasicData", "DiffDataAddr", "DiffDataRows", "DiffDataCols", "DiffUnitOfByte",
     1, "bDiffSigned"},
    {DataKind::Observe, "BasicData", "RefDataAddr", "ObserveDataRows", "ObserveDataCols",
     "RefUnitOfByte", 2, "bRefSigned"},
    {DataKind::Stylus, "Stylus", "DataAddr", "StylusDataRows", "StylusDataCols", "RawUnitOfByte", 1,
     "bDiffSigned"},
};
// Rows are looked up by kind.
static_assert([] {
  for (size_t i = 0; i < kDataKindCount; ++i) {
    if (static_cast<size_t>(kKeys[i].kind) != i) return false;
  }
  return true;
}());

class Reader {
 public:
  Reader(const std::filesystem::path& file, ILogSink* log) : file_(file), log_(log) {}

  // The default goes through the same text path as a value from the file.
  uint16_t Address(const char* section, const char* key, uint16_t def) const {
    char defText[8];
    std::snprintf(defText, sizeof defText, "0x%04X", static_cast<unsigned>(def));
    return HexStrToWord(platform::IniGetString(section, key, defText, file_, kValueBufferChars));
  }
  uint16_t Address(const KindKeys& keys) const {
    return Address(keys.addrSection, keys.addrKey, DefaultFormat(keys.kind).address);
  }
  // A number as the file says it (not wrapped at 32 bits), with its text.
  struct Number {
    int64_t value;
    std::string written;
    // For a line: the value as read, or the file's own text when that is
    // beyond 32 bits (wrapped, it would name a number nobody wrote).
    std::string Shown() const {
      return value >= INT32_MIN && value <= INT32_MAX ? std::to_string(value) : written;
    }
  };
  Number Int(const char* section, const char* key, int32_t def) const {
    const std::string text = platform::IniGetString(section, key, kMissing, file_);
    if (text == kMissing) return {def, std::to_string(def)};
    return {platform::IniIntValue(text), text};
  }
  void Log(const std::string& text) const {
    if (log_ != nullptr) log_->AddLog(kLogPrefix + text, LOG_ERROR);
  }

 private:
  const std::filesystem::path& file_;
  ILogSink* log_;
};

using Number = Reader::Number;

// A count below 1 would leave the view without a grid.
int32_t BoundedCount(const Reader& in, DataKind kind, const char* key, const Number& n,
                     int32_t def) {
  if (n.value >= 1 && n.value <= INT32_MAX) return static_cast<int32_t>(n.value);
  in.Log(std::string(DataKindName(kind)) + "：" + key + "=" + n.Shown() +
         (n.value < 1 ? " 小于 1" : " 超出 32 位整数范围") + "，改用 " + std::to_string(def));
  return def;
}

uint8_t BoundedUnit(const Reader& in, DataKind kind, const char* key, const Number& n,
                    uint8_t def) {
  if (n.value >= 1 && n.value <= 3) return static_cast<uint8_t>(n.value - 1);
  in.Log(std::string(DataKindName(kind)) + "：" + key + "=" + n.Shown() + " 不是 1、2 或 3，改用 " +
         std::to_string(8 << def) + " 位");
  return def;
}

// The stored flags say the opposite of the field: 0 sets it, anything else
// clears it.
uint8_t InvertedFlag(const Reader& in, const char* key, const Number& n) {
  if (n.value != 0 && n.value != 1) {
    in.Log(std::string(key) + "=" + n.Shown() + " 不是 0 或 1，按 1 处理");
  }
  return n.value == 0 ? 1 : 0;
}

}  // namespace

DataFormatSet ReadDataFormats(const std::filesystem::path& chipIni, ILogSink* log) {
  const Reader in(chipIni, log);
  DataFormatSet set = DefaultDataFormats();

  // Key order as the chip INI readers have always gone through them.
  for (DataKind kind : {DataKind::Raw, DataKind::Diff, DataKind::Observe}) {
    set.Of(kind).address = in.Address(kKeys[static_cast<size_t>(kind)]);
  }
  set.syncFlagAddr = in.Address("BasicData", "SynFlagAddr", set.syncFlagAddr);
  set.Of(DataKind::Stylus).address = in.Address(kKeys[static_cast<size_t>(DataKind::Stylus)]);

  const Number stylusLength = in.Int("Stylus", "DataLen", 144);
  if (stylusLength.value < 0 || stylusLength.value > kStylusSlotBytes) {
    const int32_t bounded = stylusLength.value < 0 ? 0 : kStylusSlotBytes;
    in.Log("StylusData：DataLen=" + stylusLength.Shown() + " 超出 0.." +
           std::to_string(kStylusSlotBytes) + "，改用 " + std::to_string(bounded));
    set.stylusLength = bounded;
  } else {
    set.stylusLength = static_cast<int32_t>(stylusLength.value);
  }

  for (const KindKeys& k : kKeys) {
    const DataFormat def = DefaultFormat(k.kind);
    set.Of(k.kind).rows =
        BoundedCount(in, k.kind, k.rowsKey, in.Int("Option", k.rowsKey, def.rows), def.rows);
  }
  for (const KindKeys& k : kKeys) {
    const DataFormat def = DefaultFormat(k.kind);
    set.Of(k.kind).cols =
        BoundedCount(in, k.kind, k.colsKey, in.Int("Option", k.colsKey, def.cols), def.cols);
  }
  for (const KindKeys& k : kKeys) {
    set.Of(k.kind).unit =
        BoundedUnit(in, k.kind, k.unitKey, in.Int("BasicData", k.unitKey, k.unitDefault),
                    DefaultFormat(k.kind).unit);
  }
  for (const KindKeys& k : kKeys) {
    set.Of(k.kind).isSigned = InvertedFlag(in, k.signedKey, in.Int("BasicData", k.signedKey, 1));
  }
  // One byte-order key serves every kind.
  const Number bigEndian = in.Int("BasicData", "bBigEndian", 0);
  const uint8_t littleEndian = InvertedFlag(in, "bBigEndian", bigEndian);
  for (const KindKeys& k : kKeys) set.Of(k.kind).littleEndian = littleEndian;

  // A frame too large for its buffers keeps its width and takes the kind's
  // default grid, which fits at every width.
  for (const KindKeys& k : kKeys) {
    DataFormat& f = set.Of(k.kind);
    const std::string problem = CheckFormat(k.kind, f);
    if (problem.empty()) continue;
    const DataFormat def = DefaultFormat(k.kind);
    in.Log(problem + "，改用 " + std::to_string(def.rows) + " x " + std::to_string(def.cols));
    f.rows = def.rows;
    f.cols = def.cols;
  }
  return set;
}

void LoadDataFormats(const std::filesystem::path& chipIni, DataFormatStore& store, ILogSink* log) {
  const DataFormatSet set = ReadDataFormats(chipIni, log);
  std::string error;
  if (!store.Replace(set, &error) && log != nullptr) {
    log->AddLog(kLogPrefix + error, LOG_ERROR);
  }
  g_wSyncFlagAddr = set.syncFlagAddr;
}
