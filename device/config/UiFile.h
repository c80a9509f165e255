#pragma once
// ".ui" item descriptions: line 1 names the base address ("...BaseAddress..."
// ending in four hexadecimal digits), every further line is one item:
//   <address hex>,<name>,<lowest bit hex>,<width hex>,EDIT|CHECK_BOX|COMBOBOX[,<option>...]
// Spaces are ignored anywhere in an item line. Pure text work: the caller
// reads the file (platform/ReadFileBytes with kItemFileMaxBytes from
// device/config/ScFile.h) and keeps the items.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/config/CfgItem.h"

struct UiDescription {
  bool ok = false;
  // User text when !ok:
  // - input over kItemFileMaxBytes: "打开UI文档失败";
  // - line 1 without "BaseAddress": fileName + "文件不是指定的ui文件";
  // - a malformed item line n (1-based, counting line 1):
  //   fileName + ": 第n行格式错误". Malformed: fewer than five fields, no
  //   hexadecimal digit in the address, lowest bit or width, a control
  //   word other than the three, or a combo box with more than 256 options.
  // A failed parse returns no items.
  std::string error;
  uint16_t baseAddress = 0;  // the last four characters of line 1, hexadecimal
  std::vector<CfgItem> items;
};

// Parses a ".ui" file's bytes, decoded as 8-bit text in the system's code page
// (UTF-8 when valid, else GBK; a byte-order mark is dropped). LF and CR LF
// line ends read the same; blank lines are skipped. Of an address field of
// five or more characters only the last four count. An item with a width
// outside 1..16 or a lowest bit outside 0..15 is skipped; a combo box without
// options becomes a decimal edit. fileName is used only in error texts.
UiDescription ParseUiFile(std::string_view fileBytes, std::string_view fileName);
