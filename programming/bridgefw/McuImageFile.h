#pragma once
// Bridge firmware files other than Intel HEX: the binary of everything from
// byte 112 on, beside its "<stem>.ect" holding bytes 0 to 111 (the pair a
// burnt HEX image is split into). The image is programmed from address 0,
// so the binary alone would leave the reset and interrupt vectors unknown:
// it is refused without its pair. The ".ect" itself is only that pair's
// 112-byte head, never an image.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Where a binary's bytes start in the image.
inline constexpr size_t kMcuHeaderSize = 112;

inline constexpr std::string_view kReadFailedSuffix = "读取数据失败";
inline constexpr std::string_view kTooLargeSuffix = "文件过大";
inline constexpr std::string_view kPairMissingSuffix = "不存在或长度不是112字节";
inline constexpr std::string_view kHeadOnlySuffix = "只是固件的前112字节，不能作为固件烧录";
inline constexpr std::string_view kRemoteImageTooLargeText = "远程固件过大";

// The whole image: the pair's 112 bytes, then the binary. Throws
// UserMessageError: path + "打开失败", path + "读取数据失败" (empty),
// path + "文件过大", the pair's path + "不存在或长度不是112字节", or, for an
// ".ect" file (any case), path + kHeadOnlySuffix.
std::vector<uint8_t> ReadBinaryImage(const std::filesystem::path& path);

// "<stem>.ect" beside path.
std::filesystem::path HeaderPairOf(const std::filesystem::path& path);
// The text after the file name's last ".", lower case (empty without one).
std::string ImageExtensionOf(const std::filesystem::path& path);
// The four characters after the first "_v" of the file name.
std::string ImageVersionTextOf(const std::filesystem::path& path);
