#include "platform/files/IniFile.h"

#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/files/AtomicFile.h"
#include "platform/files/CodePage.h"
#include "platform/TextTrim.h"

namespace platform {
namespace {

// Settings files are small; anything larger is not one of ours and reads as
// missing rather than being pulled into memory.
constexpr size_t kMaxIniBytes = 16 * 1024 * 1024;
constexpr std::string_view kCrLf = "\r\n";

// One pair of matching quotes around a value is not part of it.
std::string_view StripQuotes(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

// Lines are separated by '\n'; a '\r' before it belongs to the line end. A
// final '\n' ends the last line rather than starting an empty one.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view line = text.substr(start, nl - start);
    if (nl < text.size() && line.ends_with('\r')) line.remove_suffix(1);
    lines.push_back(line);
    start = nl + 1;
  }
  return lines;
}

struct IniLine {
  enum class Kind { kOther, kSection, kKey };  // kOther: blank, comment or junk
  Kind kind = Kind::kOther;
  std::string_view name;   // section or key name, trimmed, as spelt in the file
  std::string_view value;  // key value, trimmed, quotes still on
  bool blank = false;
};

IniLine ParseLine(std::string_view text) {
  IniLine line;
  const std::string_view t = TrimChars(text, kAsciiBlanks);
  if (t.empty()) {
    line.blank = true;
  } else if (t.front() == ';') {
    // comment
  } else if (t.front() == '[') {
    const size_t close = t.find(']');
    if (close != std::string_view::npos) {
      line.kind = IniLine::Kind::kSection;
      line.name = TrimChars(t.substr(1, close - 1), kAsciiBlanks);
    }
  } else if (const size_t eq = t.find('='); eq != std::string_view::npos) {
    line.kind = IniLine::Kind::kKey;
    line.name = TrimChars(t.substr(0, eq), kAsciiBlanks);
    line.value = TrimChars(t.substr(eq + 1), kAsciiBlanks);
  }
  return line;
}

// A settings file decoded and split into lines; the one parser behind both
// reads and writes.
struct IniText {
  TextEncoding encoding = TextEncoding::kUtf8;
  std::string text;                     // UTF-8
  std::vector<std::string_view> lines;  // into text, without line ends
  std::vector<IniLine> parsed;          // one per line
};

void ParseText(std::string_view fileBytes, IniText* ini) {
  DecodedText decoded = DecodeText(fileBytes);
  ini->encoding = decoded.encoding;
  ini->text = std::move(decoded.text);
  ini->lines = SplitLines(ini->text);
  ini->parsed.clear();
  ini->parsed.reserve(ini->lines.size());
  for (std::string_view line : ini->lines) ini->parsed.push_back(ParseLine(line));
}

// Where a key is, or where it would go.
struct Location {
  std::optional<size_t> section;  // header line of the first matching section
  std::optional<size_t> key;      // first matching key line inside it
  size_t insertAt = 0;            // for a new key: after the section's last non-blank line
};

Location Locate(const std::vector<IniLine>& parsed, std::string_view section,
                std::string_view key) {
  Location loc;
  size_t i = 0;
  for (; i < parsed.size(); ++i) {
    if (parsed[i].kind == IniLine::Kind::kSection &&
        EqualsIgnoringAsciiCase(parsed[i].name, section))
      break;
  }
  if (i == parsed.size()) return loc;
  loc.section = i;
  loc.insertAt = i + 1;
  for (++i; i < parsed.size() && parsed[i].kind != IniLine::Kind::kSection; ++i) {
    if (!parsed[i].blank) loc.insertAt = i + 1;
    if (!loc.key && parsed[i].kind == IniLine::Kind::kKey &&
        EqualsIgnoringAsciiCase(parsed[i].name, key)) {
      loc.key = i;
    }
  }
  return loc;
}

// The value of section/key with its quotes removed, or nothing when the file,
// section or key is missing (an unreadable or oversized file counts as
// missing).
std::optional<std::string> LookUp(const std::string& section, const std::string& key,
                                  const std::filesystem::path& file) {
  std::string bytes;
  if (!ReadFileBytes(file, &bytes, kMaxIniBytes)) return std::nullopt;
  IniText ini;
  ParseText(bytes, &ini);
  const Location loc =
      Locate(ini.parsed, TrimChars(section, kAsciiBlanks), TrimChars(key, kAsciiBlanks));
  if (!loc.key) return std::nullopt;
  return std::string(StripQuotes(ini.parsed[*loc.key].value));
}

// The raw bytes of each line in the file's own encoding, so that lines a
// write does not touch go back out exactly as they came in.
struct RawLine {
  std::string_view content;
  std::string_view end;  // "\r\n", "\n" or "" (UTF-16: the same, two bytes per unit)
};

std::vector<RawLine> SplitRawLines(std::string_view body, TextEncoding encoding) {
  std::vector<RawLine> lines;
  const size_t unit = encoding == TextEncoding::kUtf16Le ? 2 : 1;
  auto isUnit = [&](size_t pos, char c) {
    return body[pos] == c && (unit == 1 || body[pos + 1] == '\0');
  };
  size_t start = 0;
  while (start < body.size()) {
    size_t pos = start;
    while (pos + unit <= body.size() && !isUnit(pos, '\n')) pos += unit;
    if (pos + unit > body.size()) {
      lines.push_back({body.substr(start), {}});
      break;
    }
    size_t contentEnd = pos;
    if (pos - start >= unit && isUnit(pos - unit, '\r')) contentEnd -= unit;
    lines.push_back(
        {body.substr(start, contentEnd - start), body.substr(contentEnd, pos + unit - contentEnd)});
    start = pos + unit;
  }
  return lines;
}

// Names and values that would read back differently, or break the file's
// structure, are refused instead of written. Returns why, or nullptr.
const char* WhyNotWritable(std::string_view section, std::string_view key, std::string_view value) {
  auto hasLineBreak = [](std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
  };
  const char* problem = nullptr;
  if (!IsValidUtf8(section) || !IsValidUtf8(key) || !IsValidUtf8(value)) {
    problem = "the text is not valid UTF-8";
  } else if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)) {
    problem = "line breaks cannot be stored";
  } else if (section.find(']') != std::string_view::npos) {
    problem = "a section name cannot contain ']'";
  } else if (key.find('=') != std::string_view::npos) {
    problem = "a key name cannot contain '='";
  } else if (!key.empty() && (key.front() == '[' || key.front() == ';')) {
    problem = "a key name cannot start with '[' or ';'";
  }
  return problem;
}

// Read-modify-write of one file must not interleave with another in this
// process, or one of two concurrent writes would be lost.
std::mutex g_writeMutex;

}  // namespace

std::string IniGetString(const std::string& section, const std::string& key, const std::string& def,
                         const std::filesystem::path& file, size_t bufferSize) {
  if (bufferSize == 0) return {};
  std::optional<std::string> value = LookUp(section, key, file);
  // The default loses its trailing blanks, as the caller's buffer would.
  std::string result = value ? std::move(*value)
                             : std::string(def.substr(0, def.find_last_not_of(kAsciiBlanks) + 1));
  return std::string(Utf8PrefixByUtf16Units(result, bufferSize - 1));
}

int32_t IniGetInt(const std::string& section, const std::string& key, int32_t def,
                  const std::filesystem::path& file) {
  const std::optional<std::string> value = LookUp(section, key, file);
  if (!value) return def;
  std::string_view v = *value;
  while (!v.empty() && kAsciiBlanks.find(v.front()) != std::string_view::npos) v.remove_prefix(1);
  bool negative = false;
  if (!v.empty() && (v.front() == '+' || v.front() == '-')) {
    negative = v.front() == '-';
    v.remove_prefix(1);
  }
  uint32_t n = 0;  // wraps at 32 bits like the original's unchecked arithmetic
  for (char c : v) {
    if (c < '0' || c > '9') break;
    n = n * 10u + static_cast<uint32_t>(c - '0');
  }
  if (negative) n = 0u - n;
  return static_cast<int32_t>(n);
}

int64_t IniIntValue(std::string_view v) {
  while (!v.empty() && kAsciiBlanks.find(v.front()) != std::string_view::npos) v.remove_prefix(1);
  bool negative = false;
  if (!v.empty() && (v.front() == '+' || v.front() == '-')) {
    negative = v.front() == '-';
    v.remove_prefix(1);
  }
  constexpr uint64_t kBound = uint64_t{1} << 63;  // |INT64_MIN|
  uint64_t n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') break;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (n > (kBound - digit) / 10) {
      n = kBound;
      break;
    }
    n = n * 10 + digit;
  }
  if (negative) return n == kBound ? INT64_MIN : -static_cast<int64_t>(n);
  return n >= kBound ? INT64_MAX : static_cast<int64_t>(n);
}

bool IniWriteString(const std::string& section, const std::string& key, const std::string& value,
                    const std::filesystem::path& file) {
  return IniWriteString(section, key, value, file, nullptr);
}

namespace {

// Sets one key in the file's text (read from `file`, named in messages);
// false with the reason when the key or value cannot be stored.
bool SetKeyInText(std::string& bytes, const std::string& section, const std::string& key,
                  const std::string& value, const std::filesystem::path& file, std::string* error) {
  const std::string_view sectionName = TrimChars(section, kAsciiBlanks);
  const std::string_view keyName = TrimChars(key, kAsciiBlanks);
  if (const char* problem = WhyNotWritable(sectionName, keyName, value)) {
    if (error) *error = "cannot write '" + file.string() + "': " + problem;
    return false;
  }

  IniText ini;
  ParseText(bytes, &ini);
  const std::string_view mark = ByteOrderMark(ini.encoding);
  if (ini.encoding == TextEncoding::kUtf16Le && (bytes.size() - mark.size()) % 2 != 0) {
    // Anything added after half a character would be read out of step.
    if (error) *error = "cannot write '" + file.string() + "': it ends in half a UTF-16 character";
    return false;
  }
  const std::vector<RawLine> raw =
      SplitRawLines(std::string_view(bytes).substr(mark.size()), ini.encoding);
  if (raw.size() != ini.lines.size()) {
    if (error) *error = "cannot write '" + file.string() + "': its lines could not be matched up";
    return false;
  }

  // The output as a list of lines: untouched ones by index, new ones as text.
  struct OutLine {
    std::optional<size_t> old;
    std::string text;
  };
  std::vector<OutLine> outLines;
  const Location loc = Locate(ini.parsed, sectionName, keyName);
  const std::string newKeyLine = std::string(keyName) + "=" + value;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (loc.key && i == *loc.key) {
      outLines.push_back({std::nullopt, std::string(ini.parsed[i].name) + "=" + value});
      continue;
    }
    if (loc.section && !loc.key && i == loc.insertAt) {
      outLines.push_back({std::nullopt, newKeyLine});
    }
    outLines.push_back({i, {}});
  }
  if (loc.section && !loc.key && loc.insertAt == raw.size()) {
    outLines.push_back({std::nullopt, newKeyLine});
  }
  if (!loc.section) {
    outLines.push_back({std::nullopt, "[" + std::string(sectionName) + "]"});
    outLines.push_back({std::nullopt, newKeyLine});
  }

  std::string out(mark);
  bool encoded = true;
  auto emitNew = [&](std::string_view text) {
    std::string body;
    encoded = encoded && EncodeBody(std::string(text) + std::string(kCrLf), ini.encoding, &body);
    out += body;
  };
  for (size_t k = 0; k < outLines.size(); ++k) {
    if (!outLines[k].old) {
      emitNew(outLines[k].text);
      continue;
    }
    const RawLine& line = raw[*outLines[k].old];
    out += line.content;
    out += line.end;
    // A last line without an end gains one when something now follows it.
    if (line.end.empty() && k + 1 < outLines.size()) emitNew("");
  }
  if (!encoded) {
    if (error) {
      *error = "cannot write '" + file.string() +
               "': the text cannot be represented in the file's encoding";
    }
    return false;
  }
  bytes = std::move(out);
  return true;
}

}  // namespace

bool IniWriteString(const std::string& section, const std::string& key, const std::string& value,
                    const std::filesystem::path& file, std::string* error) {
  return IniWriteStrings(section, {{key, value}}, file, error);
}

bool IniWriteStrings(const std::string& section,
                     const std::vector<std::pair<std::string, std::string>>& keyValues,
                     const std::filesystem::path& file, std::string* error) {
  std::vector<IniEntry> entries;
  entries.reserve(keyValues.size());
  for (const auto& [key, value] : keyValues) entries.push_back({section, key, value});
  return IniWriteEntries(entries, file, error);
}

bool IniWriteEntries(const std::vector<IniEntry>& entries, const std::filesystem::path& file,
                     std::string* error) {
  std::lock_guard lock(g_writeMutex);
  std::string bytes;
  bool missing = false;
  std::string readError;
  if (!ReadFileBytes(file, &bytes, kMaxIniBytes, &readError, &missing) && !missing) {
    // Writing now would replace a file we could not read with a one-key file.
    if (error) *error = readError;
    return false;
  }
  for (const IniEntry& e : entries) {
    if (!SetKeyInText(bytes, e.section, e.key, e.value, file, error)) return false;
  }
  return WriteFileAtomic(file, bytes, error);
}

std::optional<std::string> IniReadProblem(const std::filesystem::path& file) {
  std::string bytes;
  std::string error;
  bool missing = false;
  if (ReadFileBytes(file, &bytes, kMaxIniBytes, &error, &missing) || missing) return std::nullopt;
  return error;
}

}  // namespace platform
