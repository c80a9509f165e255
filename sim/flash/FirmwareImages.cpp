#include "sim/flash/FirmwareImages.h"

#include <algorithm>

namespace sim {

namespace {

struct Region {
  unsigned section;
  size_t offset;
  size_t length;
};

constexpr Region kDe9Regions[] = {
    {1, 0x000E, 0x2000}, {2, 0x200E, 0x2000}, {3, 0x400E, 0x2000},
    {4, 0x600E, 0x2000}, {5, 0x800E, 0x1000}, {6, 0x900E, 0x800},
    {7, 0x980E, 0x800},  {8, 0xA00E, 0x2000}, {9, 0xC00E, 0x1000},
};
constexpr unsigned kDe9DspIspSection = 10;

constexpr Region kZe73Regions[] = {
    {20, 0x0100, 0x1000},  {21, 0x1100, 0x800},   {22, 0x1900, 0x1F000},
    {23, 0x20900, 0x2000}, {24, 0x22900, 0xC000},
};
constexpr size_t kZe73Gm11Offset = 0x1900;

void Fill(std::vector<uint8_t>& image, const Region& region, size_t end) {
  for (size_t i = 0; i < region.length && region.offset + i < end; ++i) {
    image[region.offset + i] = FirmwarePattern(region.section, i);
  }
}

// count characters of text at `at`, NUL-padded, as far as the image reaches.
void PutText(std::vector<uint8_t>& image, size_t at, const std::string& text, size_t count) {
  for (size_t i = 0; i < count && at + i < image.size(); ++i) {
    image[at + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
  }
}

}  // namespace

uint8_t FirmwarePattern(unsigned section, size_t offset) {
  uint32_t x = section * 0x9E3779B1u ^ static_cast<uint32_t>(offset) * 0x85EBCA6Bu;
  x ^= x >> 15;
  x *= 0x2C1B3C6Du;
  x ^= x >> 12;
  return static_cast<uint8_t>(x);
}

std::vector<uint8_t> MakeDe9Firmware(size_t length, const FirmwareIdentity& identity) {
  std::vector<uint8_t> image(length, 0);
  // The dsp_isp takes the last 4 KiB; the sections before it end where it starts.
  const size_t body = length >= kDe9DspIspBytes ? length - kDe9DspIspBytes : length;
  for (const Region& region : kDe9Regions) Fill(image, region, body);
  if (length >= kDe9DspIspBytes) Fill(image, {kDe9DspIspSection, body, kDe9DspIspBytes}, length);
  // Header: name characters at 4..8 (NUL-padded), version at 12..13, high byte first.
  PutText(image, 4, identity.headerName, 5);
  if (length > 13) {
    image[12] = static_cast<uint8_t>(identity.headerVersion >> 8);
    image[13] = static_cast<uint8_t>(identity.headerVersion);
  }
  const size_t idAt = kDe9HeaderBytes + kDe9IdOffsetInSs51;
  if (idAt + 6 <= body) {
    PutText(image, idAt, identity.chipId, 4);
    image[idAt + 4] = static_cast<uint8_t>(identity.chipVersion);
    image[idAt + 5] = static_cast<uint8_t>(identity.chipVersion >> 8);
  }
  return image;
}

std::vector<uint8_t> MakeZe73Firmware(const FirmwareIdentity& identity, size_t length) {
  std::vector<uint8_t> image(length, 0);
  for (const Region& region : kZe73Regions) Fill(image, region, length);
  PutText(image, 0x13, identity.headerName, 4);
  if (length > 0x1A) {
    image[0x19] = static_cast<uint8_t>(identity.headerVersion >> 8);
    image[0x1A] = static_cast<uint8_t>(identity.headerVersion);
  }
  const size_t idAt = kZe73Gm11Offset + kDe7IdFlashAddress;
  if (idAt + 8 <= length) {
    PutText(image, idAt, identity.chipId, 4);
    image[idAt + 4] = 0;
    image[idAt + 5] = 0;
    image[idAt + 6] = static_cast<uint8_t>(identity.chipVersion >> 8);
    image[idAt + 7] = static_cast<uint8_t>(identity.chipVersion);
  }
  return image;
}

}  // namespace sim
