#include "views/DataFormatStore.h"

#include <algorithm>
#include <cstdint>

namespace {

void AppendError(std::string* error, const std::string& line) {
  if (error == nullptr || line.empty()) return;
  if (!error->empty()) *error += "\n";
  *error += line;
}

}  // namespace

DataFormatSet DefaultDataFormats() {
  DataFormatSet set;
  for (DataKind kind : kAllDataKinds) set.Of(kind) = DefaultFormat(kind);
  return set;
}

DataFormatStore::DataFormatStore() : set_(DefaultDataFormats()) {}

DataFormatSnapshot DataFormatStore::Snapshot() const {
  std::lock_guard lock(mutex_);
  return {set_, version_};
}

DataFormat DataFormatStore::Format(DataKind kind) const {
  std::lock_guard lock(mutex_);
  return set_.Of(kind);
}

bool DataFormatStore::StoreChecked(DataKind kind, const DataFormat& format, std::string* error) {
  const std::string problem = CheckFormat(kind, format);
  if (!problem.empty()) {
    AppendError(error, problem);
    return false;
  }
  set_.Of(kind) = format;
  return true;
}

bool DataFormatStore::Replace(const DataFormatSet& set, std::string* error) {
  std::lock_guard lock(mutex_);
  bool ok = true;
  for (DataKind kind : kAllDataKinds) ok = StoreChecked(kind, set.Of(kind), error) && ok;
  set_.syncFlagAddr = set.syncFlagAddr;
  if (set.stylusLength < 0 || set.stylusLength > kStylusSlotBytes) {
    AppendError(error, "Stylus: length " + std::to_string(set.stylusLength) + " outside 0.." +
                           std::to_string(kStylusSlotBytes));
    ok = false;
  } else {
    set_.stylusLength = set.stylusLength;
  }
  ++version_;
  return ok;
}

bool DataFormatStore::Apply(const std::array<DataFormat, kDataKindCount>& formats,
                            std::string* error) {
  bool ok = true;
  for (DataKind kind : kAllDataKinds) {
    const std::string problem = CheckFormat(kind, formats[static_cast<size_t>(kind)]);
    if (!problem.empty()) {
      AppendError(error, problem);
      ok = false;
    }
  }
  if (!ok) return false;
  std::lock_guard lock(mutex_);
  set_.formats = formats;
  ++version_;
  return true;
}

bool DataFormatStore::AdoptPanelGeometry(const PanelGeometry& geometry, std::string* error) {
  std::lock_guard lock(mutex_);
  auto adopt = [&](DataKind kind, uint32_t rows, uint32_t cols) {
    DataFormat f = set_.Of(kind);
    if (rows != 0) f.rows = static_cast<int32_t>(std::min<uint32_t>(rows, INT32_MAX));
    if (cols != 0) f.cols = static_cast<int32_t>(std::min<uint32_t>(cols, INT32_MAX));
    return StoreChecked(kind, f, error);
  };
  bool ok = adopt(DataKind::Raw, geometry.rawRows, geometry.rawColumns);
  ok = adopt(DataKind::Diff, geometry.diffRows, geometry.diffColumns) && ok;
  ok = adopt(DataKind::Stylus, geometry.stylusRows, 0) && ok;
  ++version_;
  return ok;
}

DataFormatStore& GetDataFormatStore() {
  static DataFormatStore store;
  return store;
}
