#pragma once
// The test package (.tp) format: a plain sequence of file records, no
// header, no count, no trailer, little-endian:
//   u32 name length in bytes, name (UTF-16LE, no terminator, no folder),
//   u64 data length, data.
// Packages travel between machines, so a package is outside input: every
// length is checked against what is left, names that could leave the folder
// are refused, and a package that ends inside a record or carries bytes after
// its last record is damaged.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct PackageRecord {
  std::string name;  // UTF-8
  std::string data;
};

// Longest name a record may carry, in bytes (259 UTF-16 units).
inline constexpr uint32_t kMaxPackageNameBytes = 518;
// Largest package (and so largest file) taken in: firmware, configurations
// and test.ini are far smaller.
inline constexpr size_t kMaxPackageBytes = 64u << 20;

// A name a record may carry: not empty, not "." or "..", no separators,
// drive colons, NUL or control characters, valid UTF-8.
bool IsSafePackageName(std::string_view name);

// The name a record is unpacked under: a name ending ".ini" (any case)
// becomes "test.ini".
std::string UnpackedName(const std::string& recordName);

// false with the reason in *error when a name cannot be stored.
bool EncodePackage(const std::vector<PackageRecord>& records, std::string* out, std::string* error);

// All or nothing: false with the reason in *error, *out untouched, when any
// record is bad, a length runs past the end, bytes follow the last record,
// two records share a name, or two records would both become test.ini.
bool DecodePackage(std::string_view bytes, std::vector<PackageRecord>* out, std::string* error);
