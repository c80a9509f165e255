// The relay server's image message: what is accepted, what is refused, and
// the name that may be used for files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/net/ImageMessage.h"
#include "sim/relay/SimRelayServer.h"

namespace {

using sim::RelayFault;
using sim::RelayImage;
using sim::SimRelayServer;

std::vector<uint8_t> Payload(const RelayImage& image, RelayFault fault = RelayFault::None) {
  const std::vector<uint8_t> message = SimRelayServer::BuildImageMessage(1, image, fault);
  return {message.begin() + 8, message.end()};
}

RelayImage Image(std::string name = "fw.hex") {
  RelayImage image;
  image.fileName = std::move(name);
  image.clearData = {0xEF, 0xDA, 0xC5, 0x00, 0x7F};
  image.remaining = 3;
  return image;
}

TEST(ImageMessage, AGoodMessageGivesTheUnmaskedImage) {
  RemoteImage out;
  const auto payload = Payload(Image("固件_v2.hex"));
  ASSERT_EQ(ImageCheck::Ok, ParseImageMessage(payload.data(), payload.size(), &out));
  EXPECT_EQ("固件_v2.hex", out.fileName);
  EXPECT_EQ(Image().clearData, out.data);
  EXPECT_EQ(3u, out.remaining);
}

TEST(ImageMessage, TheDocumentedExampleIsAccepted) {
  // Three masked bytes 10 20 30, sum field 0x0060, the name "a" right after
  // the fixed fields and the data behind it.
  std::vector<uint8_t> p(28 + 4 + 3, 0);
  p[0] = 7;
  p[4] = 28;
  p[28] = 'a';
  p[12] = 32;
  p[16] = 3;
  p[20] = 0x60;
  p[32] = 0x10;
  p[33] = 0x20;
  p[34] = 0x30;
  RemoteImage out;
  ASSERT_EQ(ImageCheck::Ok, ParseImageMessage(p.data(), p.size(), &out));
  EXPECT_EQ((std::vector<uint8_t>{0xEF, 0xDA, 0xC5}), out.data);
}

TEST(ImageMessage, BadMessagesAreRefusedAndChangeNothing) {
  struct Case {
    RelayFault fault;
    ImageCheck check;
  } cases[] = {
      {RelayFault::WrongType, ImageCheck::WrongType},
      {RelayFault::TooLong, ImageCheck::TooLong},
      {RelayFault::WrongSum, ImageCheck::BadSum},
      {RelayFault::NameOutOfRange, ImageCheck::NameOutOfRange},
      {RelayFault::UnterminatedName, ImageCheck::NameUnterminated},
      {RelayFault::BadName, ImageCheck::NameInvalid},
      {RelayFault::DataOutOfRange, ImageCheck::DataOutOfRange},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ImageCheckText(c.check));
    RemoteImage out;
    out.fileName = "before";
    const auto payload = Payload(Image(), c.fault);
    EXPECT_EQ(c.check, ParseImageMessage(payload.data(), payload.size(), &out));
    EXPECT_EQ("before", out.fileName);
    EXPECT_TRUE(out.data.empty());
  }
  const auto good = Payload(Image());
  RemoteImage out;
  for (size_t cut = 0; cut < 28; ++cut) {
    SCOPED_TRACE(cut);
    EXPECT_NE(ImageCheck::Ok, ParseImageMessage(good.data(), cut, &out));
  }
}

TEST(ImageMessage, NamesAreReadAtAnyOffsetAndCutToTheirBaseName) {
  struct Case {
    const char* sent;
    const char* kept;  // "" = refused
  } cases[] = {
      {"fw.hex", "fw.hex"},
      {"..\\..\\System\\evil.hex", "evil.hex"},
      {"/etc/passwd", "passwd"},
      {"C:fw.hex", "fw.hex"},
      {"..", ""},
      {"a/..", ""},
      {"dir\\", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent);
    auto payload = Payload(Image(c.sent));
    // Move the name one byte further: no alignment is needed.
    const uint32_t nameAt = payload[4] | payload[5] << 8;
    payload.insert(payload.begin() + nameAt, 0x55);
    payload[4] = static_cast<uint8_t>(nameAt + 1);
    RemoteImage out;
    const ImageCheck check = ParseImageMessage(payload.data(), payload.size(), &out);
    if (*c.kept == '\0') {
      EXPECT_EQ(ImageCheck::NameInvalid, check);
    } else {
      ASSERT_EQ(ImageCheck::Ok, check);
      EXPECT_EQ(c.kept, out.fileName);
      EXPECT_EQ(std::string("..\\System\\Temp\\") + c.kept, RemoteImageStoredPath(out));
    }
  }
}

}  // namespace
