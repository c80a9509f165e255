#pragma once
// Items as one line each, so that a mismatch in a parsed list shows which
// field differs.

#include <string>
#include <vector>

#include "device/config/CfgItem.h"

inline std::string DescribeItem(const CfgItem& item) {
  std::string text = item.name + " @" + std::to_string(item.bitAddress / 8) + "." +
                     std::to_string(item.bitAddress % 8) + " w" + std::to_string(item.bitWidth) +
                     " kind" + std::to_string(item.controlKind) + (item.hex ? " hex" : "") +
                     " page=" + item.page + " grp=" + item.group;
  if (!item.options.empty()) {
    text += " [";
    for (const std::string& option : item.options) text += option + "|";
    text += "]";
  }
  return text;
}

inline std::vector<std::string> DescribeItems(const std::vector<CfgItem>& items) {
  std::vector<std::string> lines;
  for (const CfgItem& item : items) lines.push_back(DescribeItem(item));
  return lines;
}
