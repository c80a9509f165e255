#include "programming/touchfw/DE9vur/De9Layout.h"

#include "programming/touchfw/FwUpdate.h"

namespace de9 {

Layout LayoutFor(size_t size) {
  const size_t body = size >= kDspIspBytes ? size - kDspIspBytes : 0;
  Layout layout;
  layout.hasBootIsp = body >= kBodyWithBootIsp;
  layout.hasLink = body >= kBodyFull;
  layout.dspIsp = Section{static_cast<uint32_t>(body), kDspIspBytes};
  return layout;
}

std::optional<Layout> CheckLayout(std::span<const uint8_t> image, std::string& why) {
  const size_t size = image.size();
  const size_t body = size >= kDspIspBytes ? size - kDspIspBytes : 0;
  if (body != kBodyMinimal && body != kBodyWithBootIsp && body != kBodyFull) {
    why = kLengthErrorText;
    return std::nullopt;
  }
  if (!IsPrintableFwName(image.subspan(4, 5))) {
    why = kNameErrorText;
    return std::nullopt;
  }
  return LayoutFor(size);
}

}  // namespace de9
