#include "views/DataFormatLoader.h"

#include <cstdio>
#include <string>

#include "device/ChipGlobals.h"
#include "device/HexStrToWord.h"
#include "platform/IniFile.h"

namespace {

constexpr size_t kValueBufferChars = 260;
constexpr char kLogPrefix[] = "[数据格式] ";

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
  int32_t Int(const char* section, const char* key, int32_t def) const {
    return platform::IniGetInt(section, key, def, file_);
  }
  void Log(const std::string& text) const {
    if (log_ != nullptr) log_->AddLog(kLogPrefix + text, LOG_ERROR);
  }

 private:
  const std::filesystem::path& file_;
  ILogSink* log_;
};

// A count below 1 would leave the view without a grid.
int32_t BoundedCount(const Reader& in, DataKind kind, const char* key, int32_t value, int32_t def) {
  if (value >= 1) return value;
  in.Log(std::string(DataKindName(kind)) + "：" + key + "=" + std::to_string(value) +
         " 小于 1，改用 " + std::to_string(def));
  return def;
}

uint8_t BoundedUnit(const Reader& in, DataKind kind, const char* key, int32_t value, uint8_t def) {
  if (value >= 1 && value <= 3) return static_cast<uint8_t>(value - 1);
  in.Log(std::string(DataKindName(kind)) + "：" + key + "=" + std::to_string(value) +
         " 不是 1、2 或 3，改用 " + std::to_string(8 << def) + " 位");
  return def;
}

// The stored flags say the opposite of the field: 0 sets it, anything else
// clears it.
uint8_t InvertedFlag(const Reader& in, const char* key, int32_t value) {
  if (value != 0 && value != 1) {
    in.Log(std::string(key) + "=" + std::to_string(value) + " 不是 0 或 1，按 1 处理");
  }
  return value == 0 ? 1 : 0;
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

  const int32_t stylusLength = in.Int("Stylus", "DataLen", 144);
  if (stylusLength < 0 || stylusLength > kStylusSlotBytes) {
    const int32_t bounded = stylusLength < 0 ? 0 : kStylusSlotBytes;
    in.Log("StylusData：DataLen=" + std::to_string(stylusLength) + " 超出 0.." +
           std::to_string(kStylusSlotBytes) + "，改用 " + std::to_string(bounded));
    set.stylusLength = bounded;
  } else {
    set.stylusLength = stylusLength;
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
  const int32_t bigEndian = in.Int("BasicData", "bBigEndian", 0);
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
