#pragma once
// Small item lists for the editor's model tests.

#include <string>
#include <vector>

#include "device/config/CfgItem.h"

namespace configeditor_test {

inline CfgItem Item(std::string name, std::string page, std::string group, int kind = kCfgEdit,
                    int bitAddress = 0, int bitWidth = 8) {
  CfgItem item;
  item.name = std::move(name);
  item.page = std::move(page);
  item.group = std::move(group);
  item.controlKind = kind;
  item.bitAddress = bitAddress;
  item.bitWidth = bitWidth;
  if (kind == kCfgComboBox) item.options = {"Off", "On"};
  return item;
}

}  // namespace configeditor_test
