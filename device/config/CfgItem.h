#pragma once
// One described parameter of the chip's configuration block: a bit field, a
// whole byte or a 16-bit value over two registers, shown to the operator as a
// text. Records come from the item descriptions (".sc" and ".ui" files) and
// are owned by the item list of their configuration.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How an item is edited; also decides how its value text is read.
enum CfgControlKind : int {
  kCfgEdit = 0,      // number: decimal, or hexadecimal when CfgItem::hex is set
  kCfgCheckBox = 1,  // 0 or 1
  kCfgComboBox = 2,  // the value text is one of the options; its index is stored
};

// The channel list that a channel item's byte is looked up in.
enum class CfgChannelList {
  kNone,   // an ordinary item
  kDrive,  // name contains "Driver_CH"
  kSense,  // name contains "Sensor_CH"
};

// Placement of a label or value cell in the configuration editor's grid.
struct CfgRect {
  float x = 0;
  float y = 0;
  float width = 0;
  float height = 0;
};

struct CfgItem {
  // Name from the file, UTF-8. ".sc" items with a hexadecimal value carry
  // "(H)" at the end.
  std::string name;

  // Set by the editor's layout; nothing else touches them.
  CfgRect labelRect;
  CfgRect valueRect;

  // The first value text the block ever produced for this item (kept for the
  // editor's "changed" marks); empty until then.
  std::string initialValue;
  // The text the last refresh from the block produced. Applying texts to the
  // block writes only items whose value differs from it, so an unchanged item
  // never rewrites its bits.
  std::string refreshedValue;
  // The current value text: decimal, "%02X" for hexadecimal items, or the
  // selected option text of a combo box.
  std::string value;

  std::string group;  // ".sc" "grp"; empty for ".ui" items
  std::string page;   // ".sc" "page"; empty for ".ui" items

  int controlKind = kCfgEdit;  // a CfgControlKind
  // Option texts of a combo box; the index is the stored value. The parsers
  // never leave a combo box without options (such an item becomes a decimal
  // edit).
  std::vector<std::string> options;

  // Register address x 8 + lowest bit of the field. The block byte is
  // bitAddress / 8 - base address, the lowest bit bitAddress % 8.
  int bitAddress = 0;
  // 1..16 from the parsers; more than 8 means a 16-bit value over two
  // registers, low byte first.
  int bitWidth = 0;
  // true: the value text is hexadecimal ("%02X" when shown, HexStrToWord when
  // read).
  bool hex = false;

  // Channel items hold a chip channel number that is shown as its position
  // in the drive or sense channel list (see CfgChannelListOf).
  CfgChannelList channelList() const;
  // For the DE7 family's first/second half decision: see CfgChannelNumberOf.
  int channelNumber() const;
};

// kDrive when name contains "Driver_CH", kSense when it contains
// "Sensor_CH" (letter case counts), else kNone.
CfgChannelList CfgChannelListOf(std::string_view name);

// The decimal number that starts at the tenth character of name (right after
// a leading "Driver_CH" or "Sensor_CH"): "Driver_CH12" -> 12,
// "Sensor_CH3(H)" -> 3. 0 when the name is shorter or no digit stands there;
// at most 99999 (more digits are not read).
int CfgChannelNumberOf(std::string_view name);

// A number as an operator types it: decimal digits, or for a hexadecimal item
// hexadecimal digits with an optional "0x". Anything else (a sign, blanks
// inside, more than nine digits) gives std::nullopt.
std::optional<long> CfgParseNumber(const std::string& text, bool hex);

// The number as the item shows it: "%02X" for a hexadecimal item, else
// decimal.
std::string CfgNumberText(const CfgItem& item, long value);

// Bits of a field that fit its span (one byte, or two registers for a width
// above 8): a field never reaches past its span, and the bits above it in the
// span belong to other parameters.
int CfgFieldBits(const CfgItem& item);

// The largest value the item's field holds: all ones in the field's bits.
long CfgFieldMax(const CfgItem& item);
