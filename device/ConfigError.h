#pragma once
// A configuration operation that failed: the one operator-message error
// under the name the configuration code has always used.

#include <string>
#include <string_view>

#include "device/UserMessageError.h"

using ConfigError = UserMessageError;

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
