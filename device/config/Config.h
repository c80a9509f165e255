#pragma once
// The touch chip's configuration block: a run of registers from CFGAddr
// (default 0x8047) of CfgLength bytes (default 186), guarded by checksum bytes
// laid out by chip family, with the described items (CfgItem) that show its
// parameters as texts, the chip's drive and sense channel lists and the two
// channel maps inside the block.
//
// Short-lived: construct, read or load, change, send, destroy. One thread at
// a time per object; chip traffic goes through the register operations on
// g_pBridgeDevice, settings come from the chip INI (GetChipIniPath()).
//
// Failures throw ConfigError with the operator's message. CfgLength must lie
// in 2..1024 (at least 214 for the DE7 family): otherwise every operation that
// uses it throws "配置长度无效(CfgLength=n)" before any chip or file traffic.

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/config/CfgItem.h"

class ICfgPathChooser;

class CConfig {
 public:
  static constexpr size_t kBlockBytes = 1024;
  static constexpr int kMinLength = 2;
  static constexpr int kMinDe7Length = 214;
  // Block bytes of the DE7 checksums: byte 2 closes bytes 0-1, byte 212
  // closes bytes 0-211, the last byte closes 213..L-2.
  static constexpr int kDe7HeadSum = 2;
  static constexpr int kDe7FirstSum = 212;

  // Waits of CompareChipConfig's chip reset.
  using SleepFn = std::function<void(uint32_t ms)>;

  struct WithItems {};

  // Reads the base, length, channel counts and map positions from the chip
  // INI. The block starts zero-filled and unfilled (see IsFilled); the item
  // list and the channel lists start empty.
  CConfig();
  // The same, then loads the chip's item description (GetScFilePath()); a
  // failed load leaves the object without items.
  explicit CConfig(WithItems);

  CConfig(const CConfig&) = delete;
  CConfig& operator=(const CConfig&) = delete;

  // --- The block ---
  std::span<uint8_t, kBlockBytes> Block() { return block_; }
  std::span<const uint8_t, kBlockBytes> Block() const { return block_; }
  uint16_t CfgAddr() const { return cfgAddr_; }
  // As read from the INI; checked by the operations that use it.
  int CfgLength() const { return cfgLength_; }
  // Whether the block holds a configuration: a read of the chip succeeded,
  // or a ".cfg" file gave every byte (a shorter one counts only over a block
  // that was filled already). An unfilled block is never sent or written to
  // a file: SendConfig, SendWithChecksum, WriteCfgFile and ExportCfgFile
  // throw "读取配置出错！请检查USB或I2C连接是否正常" before anything else.
  bool IsFilled() const { return filled_; }

  // Writes the checksum bytes of the current family (ConfigFamilyIsDe7):
  //   DE7:   byte 2 = -(b0+b1), byte 212 = -(b0..b211), byte L-1 = -(b213..bL-2)
  //   other: byte L-2 = -(b0..bL-3), byte L-1 = 1 (the fresh flag the chip
  //          clears when it has taken the block)
  void ComputeChecksum();

  // Reads CFGAddr and CfgLength again, the channel lists (unless [Channel]
  // "MapDisable" is set), then the block from the chip into a buffer of its
  // own. Only a read that succeeded is adopted, with the address, length and
  // lists it used, and refreshes the item values; a failed one changes
  // nothing. Throws "读取配置出错！请检查USB或I2C连接是否正常".
  void ReadConfig();
  // Stores the item values into the block (with its checksum) and writes it
  // to the chip with the family's hand-shake. A data page that was streaming
  // is stopped for the write and, unless the window is busy, restarted after
  // a successful one; after a failure it stays stopped. Throws
  // "发送配置失败！请检查USB或I2C连接是否正常".
  void SendConfig();
  //
  // Two sends never interleave: SendConfig holds ConfigSendMutex() for its
  // whole hand-shake. A send may wait for the UI thread (the stream control
  // reaches the pages through UiBridge::call), so it must run on a worker
  // thread, never on the UI thread: a UI thread blocked on the lock while the
  // holder waits for it would deadlock. The UI waits for its send in an event
  // loop (CWaittingDlg's RunWithWaiting).
  // ComputeChecksum, then SendConfig.
  void SendWithChecksum();
  // Reads the chip's block into a fresh object (after a chip reset when
  // reset is true) and compares bytes 1..L-2 with this block. false when
  // they differ or the read fails.
  bool CompareChipConfig(bool reset);
  // Replaces the waits of the chip reset (tests); empty restores sleeping.
  void SetSleep(SleepFn sleep);

  // --- Items ---
  std::vector<CfgItem>& Items() { return items_; }
  const std::vector<CfgItem>& Items() const { return items_; }

  // Block to texts: re-reads the four channel counts, then sets every
  // item's value (and refreshed value; the initial value the first time).
  // An item whose bytes lie outside the block gets an empty text.
  void RefreshItemValues();
  // Texts to block: re-reads the channel counts, writes every item whose
  // value differs from its refreshed value, then ComputeChecksum. A text
  // that is not a number of the item's kind, or does not fit its field, is
  // refused (ConfigError) and the block is left as it was.
  void ApplyItemValues();
  // The item chosen by the chip INI's [Cfg] key: "<hex address>,<bit>", or
  // an empty value for the item named like the key (letter case ignored).
  // Get gives its value as a number (option index of a combo box); Set
  // stores the number as the item's text (the block changes at the next
  // ApplyItemValues); with no items yet, Set first loads the chip's ".sc"
  // file. Throw "找不到" + key when no item is chosen.
  bool GetItemValue(const std::string& key, int& value) const;
  void SetItemValue(const std::string& key, int value);

  // Axis commands. X2Y toggles the item of key "X2Y". X2X and Y2Y toggle
  // their items on the DE7 family; on others they reverse the drive (sense)
  // map in the block up to its last entry that is not 0xFF, then refresh the
  // items. A command that finds nothing to change changes nothing and says
  // what was missing ("找不到配置项X2Y", "芯片INI缺少DrvMaxNum", ...); the
  // text is empty when the configuration changed.
  [[nodiscard]] std::string ApplyX2Y();
  [[nodiscard]] std::string ApplyX2X();
  [[nodiscard]] std::string ApplyY2Y();

  // --- Channels ---
  // The four counts as read from the chip INI, each held to 0..kBlockBytes.
  std::vector<int32_t>& DriveChannels() { return driveChannels_; }
  std::vector<int32_t>& SenseChannels() { return senseChannels_; }
  int DrvHalfNumber() const { return drvHalfNumber_; }
  int SenHalfNumber() const { return senHalfNumber_; }
  int DrvMaxNum() const { return drvMaxNum_; }
  int SenMaxNum() const { return senMaxNum_; }
  // Block offsets of the maps ([BasicData] "DrvStartAddr"/"SenStartAddr"
  // minus CFGAddr at construction); std::nullopt when the map with its
  // entries does not lie inside the block.
  std::optional<size_t> DriveMapOffset() const;
  std::optional<size_t> SenseMapOffset() const;

  // --- Files ---
  // Item descriptions. Both replace the item list, set CFGAddr from the
  // file and note the path in the chip INI ([ConfigInfo] "UI File Name").
  // Throw "打开UI文档失败" when the file cannot be read; a ".ui" file that is
  // not one throws its own text and leaves no items.
  void LoadScFile(const std::filesystem::path& path);
  void LoadUiFile(const std::filesystem::path& path);

  // ".cfg" text of the first CfgLength bytes after ComputeChecksum, with one
  // zero byte after it. Throws the file error's text.
  void WriteCfgFile(const std::filesystem::path& path);
  // Asks for a file name (proposed: chip name + local time + ".cfg") and
  // writes the ".cfg" text without the zero byte. false when cancelled;
  // throws "创建cfg文件失败，请重新检查文件名字及位置是否正确" when it
  // cannot be written.
  bool ExportCfgFile(ICfgPathChooser& chooser);
  // How much of the block a ".cfg" file must give.
  enum class CfgFileFit {
    // Any number of values: they go over the block's first bytes, the rest
    // stays (the editor loads over a block read from the chip).
    kOverBlock,
    // Exactly CfgLength values, for a file that is burnt as it is; any other
    // count is refused with CfgFileLengthText before the block changes.
    kWholeBlock,
  };
  // Fills the block from a ".cfg" file: the path, else the first file its
  // name matches as a pattern. Reads CFGAddr and CfgLength again, refreshes
  // the items and records the file. Throws "Open config file failed".
  void LoadCfgFile(const std::filesystem::path& pathOrPattern,
                   CfgFileFit fit = CfgFileFit::kOverBlock);
  const std::filesystem::path& LoadedFile() const { return loadedFile_; }
  std::optional<std::filesystem::file_time_type> LoadedFileTime() const { return loadedFileTime_; }

  // Backup of the chip's block in "..\System\Temp\<chip>_Back.cfg": loads
  // the chip's ".sc" file, reads the block and writes it. Failures are told
  // to the operator (UserNotifier); false then.
  bool InitAndBackup();
  // Loads the backup and sends it. Failures are told to the operator; false
  // then.
  bool RestoreBackup();

 private:
  // Longest text read for a single-value chip INI key.
  static constexpr size_t kTextKeyBuffer = 260;

  struct ItemWrite;
  struct Layout {
    uint16_t cfgAddr;
    int cfgLength;
  };

  // [Cfg] "CFGAddr" and "CfgLength" of the chip INI.
  static Layout ReadLayoutKeys();
  // Throws when length does not fit the block or the current family.
  static void RequireValidLength(int length);
  // Throws when the length is invalid (its text) or the block holds no
  // configuration (the read failure's text): what may not be sent or saved.
  void RequireSendable() const;
  void ReadChannelCounts();
  struct ChannelLists {
    std::vector<int32_t> drive;
    std::vector<int32_t> sense;
  };
  // [Channel] "DrvMap" and "SenMap"; nothing while "MapDisable" is set.
  static std::optional<ChannelLists> ReadChannelLists();
  std::optional<size_t> MapOffset(int startOffset, int entries) const;
  // The map of an axis ("DrvMaxNum"/"DrvStartAddr" and its name in the
  // operator's words).
  struct MapKeys {
    const char* countKey;
    const char* startKey;
    const char* name;
  };
  std::string ReverseMap(std::optional<size_t> offset, int entries, const MapKeys& keys);

  const CfgItem* FindItemByKey(const std::string& key) const;
  CfgItem* FindItemByKey(const std::string& key);
  // The byte offset of an item in the block, when its bytes lie inside it.
  std::optional<size_t> ItemOffset(const CfgItem& item) const;
  std::string ItemText(const CfgItem& item, size_t offset, bool de7) const;
  ItemWrite PlanItemWrite(const CfgItem& item, size_t offset, bool de7) const;
  int ItemNumber(const CfgItem& item) const;
  std::string ToggleItem(const std::string& key);

  std::array<uint8_t, kBlockBytes> block_{};
  uint16_t cfgAddr_ = 0x8047;
  int cfgLength_ = 186;
  std::vector<CfgItem> items_;
  std::vector<int32_t> driveChannels_;
  std::vector<int32_t> senseChannels_;
  int senHalfNumber_ = 0;
  int drvHalfNumber_ = 0;
  int senMaxNum_ = 0;
  int drvMaxNum_ = 0;
  // Map start minus CFGAddr, fixed at construction; may lie outside the block.
  int driveMapStart_ = 0;
  int senseMapStart_ = 0;
  std::filesystem::path loadedFile_;
  std::optional<std::filesystem::file_time_type> loadedFileTime_;
  bool filled_ = false;
  SleepFn sleep_;
};

// Held by CConfig::SendConfig for a whole send. A sequence that must not
// interleave with a configuration send may hold it too, and may send inside
// it (the lock is recursive). Never on the UI thread (see SendConfig).
std::recursive_mutex& ConfigSendMutex();

// The export's proposed file name: chip + "_%Y%m%d%H%M%S" of the local time
// + ".cfg".
std::string ProposedCfgFileName(const std::string& chipName, std::time_t now);

// The ".cfg" file of the chip's block backup.
std::filesystem::path CfgBackupPath(const std::string& chipName);

// The refusal of a ".cfg" file that is to be burnt whole but holds another
// number of values: names the file, its count and the length expected.
std::string CfgFileLengthText(const std::filesystem::path& file, size_t values, int length);
