#include "programming/bridgefw/McuImageFile.h"

#include <algorithm>
#include <system_error>

#include "device/UserMessageError.h"
#include "platform/files/AtomicFile.h"
#include "programming/bridgefw/IntelHex.h"

namespace {

[[noreturn]] void Throw(const std::filesystem::path& path, std::string_view suffix) {
  throw UserMessageError(path.string() + std::string(suffix));
}

}  // namespace

std::filesystem::path HeaderPairOf(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  const size_t dot = name.rfind('.');
  return path.parent_path() / (name.substr(0, dot) + ".ect");
}

std::string ImageExtensionOf(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  std::string extension = name.substr(dot + 1);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

std::string ImageVersionTextOf(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  const size_t mark = name.find("_v");
  if (mark == std::string::npos) return {};
  return name.substr(mark + 2, 4);
}

std::vector<uint8_t> ReadBinaryImage(const std::filesystem::path& path) {
  // Paired with itself it would make an image of twice its 112 bytes.
  if (ImageExtensionOf(path) == "ect") Throw(path, kHeadOnlySuffix);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) Throw(path, kOpenFailedSuffix);
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) Throw(path, kOpenFailedSuffix);
  if (size == 0) Throw(path, kReadFailedSuffix);
  if (size > kMcuImageCapacity - kMcuHeaderSize) Throw(path, kTooLargeSuffix);

  std::string body;
  if (!platform::ReadFileBytes(path, &body, kMcuImageCapacity - kMcuHeaderSize)) {
    Throw(path, kOpenFailedSuffix);
  }
  if (body.empty()) Throw(path, kReadFailedSuffix);

  const std::filesystem::path pair = HeaderPairOf(path);
  std::string header;
  if (!platform::ReadFileBytes(pair, &header, kMcuHeaderSize) || header.size() != kMcuHeaderSize) {
    Throw(pair, kPairMissingSuffix);
  }

  std::vector<uint8_t> image(kMcuHeaderSize + body.size());
  std::copy(header.begin(), header.end(), image.begin());
  std::copy(body.begin(), body.end(), image.begin() + kMcuHeaderSize);
  return image;
}
