// fuzz_remote_link reads its input twice: as the stream of framed messages
// the relay server sends (u32 id, u32 length, payload) and as one image
// payload. Whole messages feed the framing, payloads alone the image parser;
// both come from the simulated relay server's encoder, good and spoiled.

#include <string>

#include "device/net/LinkMessage.h"
#include "fuzz/seeds/Seeds.h"
#include "sim/relay/SimRelayServer.h"

namespace fuzzseeds {

namespace {

constexpr uint32_t kLinkId = 0x00012345;
constexpr size_t kMessageHeader = 8;

// A bridge image as the server hands it over: a short Intel HEX text.
sim::RelayImage Image(const std::string& fileName) {
  const std::string hex =
      ":10000000020003787FE4F6D8FD75810702000B003B\r\n"
      ":00000001FF\r\n";
  sim::RelayImage image;
  image.fileName = fileName;
  image.clearData.assign(hex.begin(), hex.end());
  image.remaining = 3;
  return image;
}

std::vector<uint8_t> Message(const sim::RelayImage& image,
                             sim::RelayFault fault = sim::RelayFault::None) {
  return sim::SimRelayServer::BuildImageMessage(kLinkId, image, fault);
}

std::vector<uint8_t> Payload(const sim::RelayImage& image,
                             sim::RelayFault fault = sim::RelayFault::None) {
  std::vector<uint8_t> message = Message(image, fault);
  message.erase(message.begin(), message.begin() + kMessageHeader);
  return message;
}

}  // namespace

TargetSeeds RemoteLinkSeeds() {
  const sim::RelayImage plain = Image("bridge.hex");
  // A name with a folder part and text beyond ASCII: only the base name is kept.
  const sim::RelayImage pathName = Image("..\\固件\\桥接器.hex");

  std::vector<uint8_t> clientMessages;
  for (uint32_t value : {kLinkRequestImage, kLinkBurnDone}) {
    const auto m = EncodeLinkMessage(kLinkId, value);
    clientMessages.insert(clientMessages.end(), m.begin(), m.end());
  }
  std::vector<uint8_t> twoImages = Message(plain);
  const std::vector<uint8_t> second = Message(pathName);
  twoImages.insert(twoImages.end(), second.begin(), second.end());

  TargetSeeds t{"fuzz_remote_link", {}};
  t.seeds.push_back({"message_image", Message(plain)});
  t.seeds.push_back({"message_two_images", twoImages});
  t.seeds.push_back({"message_client_requests", clientMessages});
  t.seeds.push_back({"message_huge_length", Message(plain, sim::RelayFault::HugeLength)});
  t.seeds.push_back({"payload_image", Payload(plain)});
  t.seeds.push_back({"payload_image_folder_name", Payload(pathName)});
  t.seeds.push_back({"payload_bad_name", Payload(plain, sim::RelayFault::BadName)});
  t.seeds.push_back(
      {"payload_unterminated_name", Payload(plain, sim::RelayFault::UnterminatedName)});
  t.seeds.push_back({"payload_data_outside", Payload(plain, sim::RelayFault::DataOutOfRange)});
  t.seeds.push_back({"payload_wrong_sum", Payload(plain, sim::RelayFault::WrongSum)});
  return t;
}

}  // namespace fuzzseeds
