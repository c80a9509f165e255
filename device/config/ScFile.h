#pragma once
// ".sc" item descriptions: the chip's list of configuration items, stored
// with every byte raised by one behind a 5-byte header. Pure text work: the
// caller reads the file (platform/ReadFileBytes with kItemFileMaxBytes) and
// keeps the items.
//
// The text (lines end in LF; CR LF reads the same) holds a base address, the
// first "addr,0x" anywhere, then one item per "NO." line with its keys in
// this order, each value running to the end of its line:
//   addr,0x<hex>  name,<text>  dataBitL,<dec>  dataBitH,<dec>
//   paraBitL,<dec>  paraBitH,<dec>  page,<text>  grp,<text>  ctrlType,<dec>
//   comb<one character>
// and for ctrlType 1 the option lines "<any character><index>,<text>" up to a
// line "dataRange".

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/config/CfgItem.h"

// Item description files (".sc" and ".ui") above this size are refused.
inline constexpr size_t kItemFileMaxBytes = size_t{1} << 20;
// What the operator is told when an item description cannot be used at all.
inline constexpr std::string_view kItemFileOpenFailedText = "打开UI文档失败";

struct ScDescription {
  bool ok = false;
  std::string error;  // user text when !ok
  // The base register address of the block (the first "addr,0x" value);
  // valid when hasBaseAddress. Without it the text holds no item either.
  bool hasBaseAddress = false;
  uint16_t baseAddress = 0;
  // The items in file order, the appended checksum item last.
  std::vector<CfgItem> items;
};

// The stored bytes to text: every byte minus one, the first 5 bytes skipped,
// up to the first zero byte, decoded as 8-bit text in the system's code page
// (UTF-8 when valid, else GBK) into UTF-8. Shorter input gives "".
std::string DecodeScBytes(std::string_view fileBytes);

// The inverse, for fixtures and tests: header (padded with '0' or cut to 5
// bytes), then text, every byte raised by one. text is taken byte for byte.
std::string EncodeScBytes(std::string_view text, std::string_view header = "KSC01");

// Parses the stored bytes of a ".sc" file (DecodeScBytes, then ParseScText).
// Fails only for input over kItemFileMaxBytes (kItemFileOpenFailedText).
ScDescription ParseScFile(std::string_view fileBytes, int cfgLength);

// Parses decoded text. cfgLength is the configuration's block length; it
// places the checksum item that is appended when the last item's name holds
// none of "sum", "SUM", "Sum": "Config_Chksum" at bit address
// (base + cfgLength) x 8, width 8, page and group "CheckSum", an edit field.
// No item at all: no checksum item either.
//
// Rules, each item on its own:
// - a key is looked for only inside its item (before the next "NO."); an
//   item missing one is skipped and reading goes on at the next "NO.";
// - an address of 0 or FFFF drops the item;
// - ctrlType 1 = combo box, 2 = check box, 7 = hexadecimal edit (name gets
//   "(H)"), anything else = decimal edit; a combo box without options is a
//   decimal edit;
// - an option index below the option count is inserted there, above it the
//   list is padded with "res" first; an index outside 0..255 ends the list,
//   and so do a full list (256 options), a line holding "NO." and the end of
//   the text;
// - a name containing "r_CH" takes its field from bit 0;
// - width = dataBitH - dataBitL + 1, bit address = address x 8 + dataBitL;
//   paraBitL 8 with paraBitH 15 is the high byte of a 16-bit parameter: width
//   dataBitH - dataBitL + 9 from (address - 1) x 8 + dataBitL, and the record
//   of the low byte (the last one kept, when it sits at address - 1) is
//   replaced by it;
// - a width outside 1..16 or a lowest bit outside 0..15 skips the item.
ScDescription ParseScText(std::string_view text, int cfgLength);
