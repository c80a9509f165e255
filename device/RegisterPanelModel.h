#pragma once
// The texts behind the register panel, without widgets: the two
// most-recent-first lists (addresses, written values), typed hexadecimal
// turned into addresses and write widths, the texts shown and logged, and the
// stored form of the address list.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How many registers a typed value writes, from its count of hexadecimal
// digits after an optional "0x". Counting digits rather than characters keeps
// "0x05" or " 5" from clobbering the register after the address.
enum class WriteWidth {
  kNone,     // no digit: nothing to write
  kByte,     // 1-2 digits
  kWord,     // 3-4 digits: high byte at the address, low byte at the next one
  kTooLong,  // 5 or more: refused rather than silently cut to 16 bits
};

class RegisterPanelModel {
 public:
  static constexpr size_t kMaxEntries = 6;

  // Replaces the address list with its stored form "P,Q,R" (newest first).
  // Pieces are trimmed; empty pieces and later copies are dropped, so lists
  // stored as "P,P,Q,R" load as P,Q,R; the first kMaxEntries are kept.
  void LoadAddressList(std::string_view stored);
  // The address list's stored form: the entries, newest first, joined by ",".
  std::string StoredAddressList() const;

  const std::vector<std::string>& Addresses() const { return addresses_; }
  const std::vector<std::string>& Values() const { return values_; }

  // Puts text at the top of its list; an older copy is removed, and the
  // oldest entry once the list would hold more than kMaxEntries.
  void UseAddress(const std::string& text);
  void UseValue(const std::string& text);

 private:
  std::vector<std::string> addresses_;
  std::vector<std::string> values_;
};

// A typed address or value as a list keeps it: blanks at either end and
// commas (the stored list's separator) removed.
std::string CleanRegisterText(std::string_view typed);

// The register a typed text names (HexStrToWord's reading), or nothing when
// it holds no hexadecimal digit after an optional "0x".
std::optional<uint16_t> ParseRegisterAddress(std::string_view typed);

WriteWidth WriteWidthOf(std::string_view typedValue);

// The address one spin step away (wrapping at 16 bits), as four lower-case
// digits; nothing when the text names no register.
std::optional<std::string> StepAddressText(std::string_view typed, int delta);

// A register byte as shown: two lower-case digits.
std::string FormatRegisterByte(uint8_t value);

// The log lines of a read and of a write, with the register as the panel
// understood the typed text (four lower-case digits, so "0x8140" shows as
// 8140) and the value read or written (two digits a byte, four a word).
std::string ReadLogLine(uint16_t address, std::string_view valueText);
std::string WriteLogLine(uint16_t address, uint16_t value, WriteWidth width);
// The refusal lines: the typed text names no register, or (for a write to
// address) no value that fits a register write.
std::string NotAnAddressLine(std::string_view kind, std::string_view typedAddress);
std::string NotAValueLine(uint16_t address, std::string_view typedValue, WriteWidth width);
inline constexpr std::string_view kReadKind = "[Read]";
inline constexpr std::string_view kWriteKind = "[Write]";
