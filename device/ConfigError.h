#pragma once
// A configuration operation that failed. what() is the operator's message
// (UTF-8), shown or logged as it is by the caller.

#include <stdexcept>
#include <string>
#include <string_view>

class ConfigError : public std::runtime_error {
 public:
  explicit ConfigError(const std::string& message) : std::runtime_error(message) {}
};

// The operator's messages of the configuration operations.
inline constexpr std::string_view kCfgReadFailedText = "读取配置出错！请检查USB或I2C连接是否正常";
inline constexpr std::string_view kCfgSendFailedText = "发送配置失败！请检查USB或I2C连接是否正常";
inline constexpr std::string_view kCfgCreateFailedText =
    "创建cfg文件失败，请重新检查文件名字及位置是否正确";
inline constexpr std::string_view kCfgRestoreFailedText = "还原配置失败，请手动还原配置";
inline constexpr std::string_view kCfgScMissingText = "缺少必要的sc文件，部分功能无法使用";
inline constexpr std::string_view kCfgItemNotFoundText = "找不到";

// "配置长度无效(CfgLength=n)"
std::string InvalidCfgLengthText(int length);
