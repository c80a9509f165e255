// Touch firmware files come from outside: whatever the bytes and the length,
// the layout checks of both families must not crash, must accept only the
// lengths their layouts allow, and every section of an accepted file must
// lie inside it with a printable header name.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "programming/touchfw/DE9vur/De9Layout.h"
#include "programming/touchfw/FwUpdate.h"
#include "programming/touchfw/ZE73da/Ze73Layout.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Inside(const de9::Section& s, size_t size) { return s.offset + s.length <= size; }

// Real files are tens of kilobytes: the first bytes choose a length near the
// layouts' own, the rest of the input repeats to fill it.
std::vector<uint8_t> Image(const uint8_t* data, size_t size) {
  if (size < 3) return {data, data + size};
  const size_t pick = static_cast<size_t>(data[1] << 8 | data[2]);
  size_t length = size - 3;
  if (data[0] % 3 == 1) length = 0x9000 + pick % 0x6000;
  if (data[0] % 3 == 2) length = ze73::kFileBytes - 0x80 + pick % 0x100;
  std::vector<uint8_t> image(length);
  for (size_t i = 0; i < length; ++i) image[i] = size > 3 ? data[3 + i % (size - 3)] : 0;
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> image = Image(data, size);
  std::string why;
  if (const auto layout = de9::CheckLayout(image, why)) {
    const size_t body = image.size() - de9::kDspIspBytes;
    Require(body == de9::kBodyMinimal || body == de9::kBodyWithBootIsp || body == de9::kBodyFull);
    for (const de9::Section& s : de9::kSs51) Require(Inside(s, body));
    Require(Inside(de9::kDsp, body) && Inside(de9::kBootloader, body));
    Require(!layout->hasBootIsp || Inside(de9::kBootIsp, body));
    Require(!layout->hasLink || (Inside(de9::kLink1, body) && Inside(de9::kLink2, body)));
    Require(layout->dspIsp.offset == body && Inside(layout->dspIsp, image.size()));
    Require(IsPrintableFwName(std::span(image).subspan(4, 5)));
  } else {
    Require(!why.empty());
  }
  why.clear();
  if (ze73::CheckLayout(image, why)) {
    Require(image.size() == ze73::kFileBytes);
    Require(IsPrintableFwName(std::span(image).subspan(ze73::kNameOffset, ze73::kNameBytes)));
    // Every chunk's sum covers whole words.
    Require(ze73::kBootcode.length % 4 == 0 && ze73::kGm11.length % 4 == 0 &&
            ze73::kG1.length % 4 == 0);
  } else {
    Require(!why.empty());
  }
  // The header name of any bytes is text, never more than the name bytes allow.
  const std::string name = FwHeaderName(std::span(image).first(std::min<size_t>(image.size(), 5)));
  Require(name.size() <= 2 + 2 * 5 + 1);
  return 0;
}
