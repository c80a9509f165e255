#include "moduletest/package/PackageCodec.h"

#include <set>

#include "platform/files/CodePage.h"

namespace {

void PutLe(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t GetLe(std::string_view in, size_t at, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) {
    value |= static_cast<uint64_t>(static_cast<uint8_t>(in[at + i])) << (8 * i);
  }
  return value;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = platform::AsciiToLower(c);
  return lower;
}

bool EndsWithIni(std::string_view name) {
  return name.size() >= 4 &&
         platform::EqualsIgnoringAsciiCase(name.substr(name.size() - 4), ".ini");
}

// Strict UTF-16LE: a lone surrogate makes the name unusable.
bool DecodeName(std::string_view bytes, std::string* name) {
  for (size_t i = 0; i < bytes.size(); i += 2) {
    const uint16_t unit = static_cast<uint16_t>(GetLe(bytes, i, 2));
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 3 >= bytes.size()) return false;
      const uint16_t next = static_cast<uint16_t>(GetLe(bytes, i + 2, 2));
      if (next < 0xDC00 || next > 0xDFFF) return false;
      i += 2;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    }
  }
  *name = platform::Utf16LeToUtf8(bytes);
  return true;
}

}  // namespace

bool IsSafePackageName(std::string_view name) {
  if (name.empty() || name == "." || name == ".." || !platform::IsValidUtf8(name)) return false;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || c == '\\' || c == '/' || c == ':') return false;
  }
  return true;
}

std::string UnpackedName(const std::string& recordName) {
  return EndsWithIni(recordName) ? "test.ini" : recordName;
}

bool EncodePackage(const std::vector<PackageRecord>& records, std::string* out,
                   std::string* error) {
  std::string bytes;
  for (const PackageRecord& r : records) {
    std::string name;
    if (!IsSafePackageName(r.name) || !platform::Utf8ToUtf16Le(r.name, &name) ||
        name.size() > kMaxPackageNameBytes) {
      if (error != nullptr) *error = "文件名无法打包：" + r.name;
      return false;
    }
    PutLe(bytes, name.size(), 4);
    bytes += name;
    PutLe(bytes, r.data.size(), 8);
    bytes += r.data;
  }
  *out = std::move(bytes);
  return true;
}

bool DecodePackage(std::string_view bytes, std::vector<PackageRecord>* out, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = why;
    return false;
  };
  std::vector<PackageRecord> records;
  std::set<std::string> names;  // letter case folded: the folder may live on Windows
  bool haveIni = false;
  size_t at = 0;
  while (at < bytes.size()) {
    const size_t left = bytes.size() - at;
    if (left < 4) return fail("文件包在记录头中截断");
    const uint64_t nameBytes = GetLe(bytes, at, 4);
    at += 4;
    if (nameBytes == 0 || nameBytes > kMaxPackageNameBytes || nameBytes % 2 != 0) {
      return fail("文件名长度无效：" + std::to_string(nameBytes));
    }
    if (bytes.size() - at < nameBytes + 8) return fail("文件包在记录头中截断");
    PackageRecord record;
    if (!DecodeName(bytes.substr(at, nameBytes), &record.name) || !IsSafePackageName(record.name)) {
      return fail("文件名无效");
    }
    at += nameBytes;
    const uint64_t dataBytes = GetLe(bytes, at, 8);
    at += 8;
    if (dataBytes > bytes.size() - at) return fail("文件包在" + record.name + "中截断");
    record.data.assign(bytes.substr(at, dataBytes));
    at += dataBytes;
    if (!names.insert(Lower(record.name)).second) return fail("文件名重复：" + record.name);
    if (EndsWithIni(record.name)) {
      if (haveIni) return fail("文件包含有多个ini文件");
      haveIni = true;
    }
    records.push_back(std::move(record));
  }
  *out = std::move(records);
  return true;
}
