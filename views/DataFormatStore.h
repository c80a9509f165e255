#pragma once
// The process-wide data formats. Writers (the chip INI load, the options
// dialog's apply, the panel geometry) replace values under a lock; readers
// (views, request callbacks on the I/O thread, render threads, the module
// test) take a copy and work on that. Every stored format passed CheckFormat.

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "device/chip/PanelGeometry.h"
#include "views/DataFormat.h"

// Bytes of one stylus buffer slot: the stylus length never exceeds it.
inline constexpr int32_t kStylusSlotBytes = 928;

struct DataFormatSet {
  std::array<DataFormat, kDataKindCount> formats{};
  uint16_t syncFlagAddr = 0x814E;
  int32_t stylusLength = 144;  // bytes of the stylus report

  const DataFormat& Of(DataKind kind) const { return formats[static_cast<size_t>(kind)]; }
  DataFormat& Of(DataKind kind) { return formats[static_cast<size_t>(kind)]; }
  bool operator==(const DataFormatSet&) const = default;
};

// Every kind's default format, flag 0x814E, stylus length 144.
DataFormatSet DefaultDataFormats();

struct DataFormatSnapshot {
  DataFormatSet set;
  uint64_t version = 0;  // grows with every change; equal versions hold equal sets
};

class DataFormatStore {
 public:
  DataFormatStore();

  DataFormatSnapshot Snapshot() const;
  DataFormat Format(DataKind kind) const;

  // Replaces everything (the chip INI load). The set must already be
  // bounded; a format that is not keeps the kind's current one and is named
  // in *error. false when anything was refused.
  bool Replace(const DataFormatSet& set, std::string* error = nullptr);

  // The options dialog's apply: all four formats or none. On a refusal the
  // stored formats stay as they were and *error says why.
  bool Apply(const std::array<DataFormat, kDataKindCount>& formats, std::string* error = nullptr);

  // The channel counts read from the chip replace the Raw and Diff rows and
  // columns and the Stylus rows. A count of 0 (not read) leaves the value; a
  // kind whose new size would break its bounds keeps its old geometry, is
  // named in *error, and the call returns false.
  bool AdoptPanelGeometry(const PanelGeometry& geometry, std::string* error = nullptr);

 private:
  bool StoreChecked(DataKind kind, const DataFormat& format, std::string* error);

  mutable std::mutex mutex_;
  DataFormatSet set_;
  uint64_t version_ = 0;
};

// The program's one store.
DataFormatStore& GetDataFormatStore();
