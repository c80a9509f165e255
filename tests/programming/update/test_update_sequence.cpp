// The update sequence on simulated equipment: the bridge's bootloader behind
// the real programmer, the touch chip behind the real firmware engine, the
// configuration burn scripted; every wait on a virtual clock.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "device/ChipGlobals.h"
#include "device/UserMessageError.h"
#include "device/net/ImageMessage.h"
#include "device/net/RemoteLink.h"
#include "platform/files/AtomicFile.h"
#include "programming/update/HexSideFiles.h"
#include "programming/update/RemoteLinkOps.h"
#include "programming/update/UpdateSequence.h"
#include "sim/ch55x/IntelHexWriter.h"
#include "tests/programming/Ch55xRig.h"
#include "tests/programming/FwTestRig.h"
#include "tests/platform/WorkingDirScope.h"
#include "sim/relay/SimRelayServer.h"

namespace {

using namespace fw_test;

const std::string kBridgeOk = "K5_0123烧录成功";
const std::string kBridgeFailed = "[V64er]烧录失败,请重新烧录";

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
  return v;
}

// The whole bench: bootloader, chip, files and what the run was told.
struct SequenceRig {
  SequenceRig() : bridgeImage(Pattern(4000, 3)), loaderRig(LoaderConfig(), false), fw(sim::ChipFamily::RU9) {
    plan.bridgePath = WriteText("v64er.hex", sim::ImageToIntelHex(bridgeImage));
    plan.touchPath = WriteFile(fw.dir, "fw.bin", sim::MakeDe9Firmware(sim::kDe9LengthMinimal, De9Identity(0x1234)));
    plan.configPath = WriteText("cfg.cfg", "x");
  }
  static sim::Ch55xConfig LoaderConfig() {
    sim::Ch55xConfig c;
    c.applicationRelease = 0x0123;
    return c;
  }
  std::filesystem::path WriteText(const std::string& name, const std::string& text) {
    platform::testing_support::WriteBytes(fw.dir / name, text);
    return fw.dir / name;
  }

  UpdateHooks Hooks() {
    UpdateHooks h;
    h.clock = &fw.clock;
    h.prompt = [this](const std::string& t) { prompts.push_back(t); };
    h.saveBridgePath = [this](const std::string& p) { savedPath = p; };
    h.beginRun = [this] { ++begun; };
    h.endRun = [this] { ++ended; };
    h.programmingPresent = [] { return false; };
    h.enterUpgradeMode = [this] {
      if (loaderAppears) loaderRig.loader->PowerUp();
      return true;
    };
    h.waitProgrammingArrived = [this](uint32_t ms) {
      waits.push_back(ms);
      if (!loaderRig.loader->IsPresent()) fw.clock.Advance(ms);
      return loaderRig.loader->IsPresent();
    };
    // The bridge is back once the bootloader ended its session.
    h.waitBridgeBack = [this](uint32_t ms) {
      waits.push_back(ms);
      const bool back = loaderRig.loader->Ends() > 0 && !loaderRig.loader->IsPresent();
      if (!back) fw.clock.Advance(ms);
      return back;
    };
    h.bridgeVersion = [this] { return bridgeAnswers ? std::string("V2.4") : std::string(); };
    h.bridgeModelKey = [] { return uint16_t{5}; };
    h.bridgeRelease = [] { return uint16_t{0x0123}; };
    h.remoteImagePath = [this](const RemoteImage& image) {
      return fw.dir / "System" / "Temp" / SafeBaseName(image.fileName);
    };
    h.makeEngine = [this](ILogSink* log) { return CreateFwUpdate(FwFamily::DE9vur, log, fw.access); };
    h.identifyChip = [this] {
      auto reader = CreateFwUpdate(FwFamily::DE9vur, nullptr, fw.access);
      return reader->LoadFirmwareFile(plan.touchPath) && (reader->IsChipMatch() || true);
    };
    h.identifyChip = [this, identify = h.identifyChip] { return chipAnswers && identify(); };
    h.chipNameVersion = [this] { return chipVersionSeen.empty() ? GetChipNameVersion() : chipVersionSeen; };
    h.makeConfig = [this] {
      auto ops = std::make_unique<ConfigBurnOps>();
      ops->load = [](const std::filesystem::path&) {};
      ops->send = [this] {
        if (configRefused) throw UserMessageError("发送配置失败！请检查USB或I2C连接是否正常");
        ++configSends;
      };
      ops->compare = [this] { return ++compares >= compareMatchesAt && compareMatchesAt > 0; };
      ops->fileVersion = [] { return uint8_t{3}; };
      ops->chipVersion = [this] { return chipConfigVersion; };
      return ops;
    };
    return h;
  }

  bool Run() {
    CUpdateSequence sequence(loaderRig.isp, Hooks(), fw.log);
    return sequence.Run(plan);
  }
  bool Saw(const std::string& text) const {
    const auto t = fw.log.Texts();
    return std::find(t.begin(), t.end(), text) != t.end();
  }
  bool SawOk() const {
    for (const LogLine& l : fw.log.Lines())
      if (l.level == LOG_OK) return true;
    return false;
  }

  std::vector<uint8_t> bridgeImage;
  Ch55xRig loaderRig;
  De9Rig fw;
  UpdatePlan plan;
  bool loaderAppears = true;
  bool bridgeAnswers = true;
  bool chipAnswers = true;            // at the check after the burn
  std::string chipVersionSeen = {};   // empty: what the chip reports
  bool configRefused = false;
  int compareMatchesAt = 1;
  int compares = 0;
  int configSends = 0;
  std::optional<uint8_t> chipConfigVersion = uint8_t{3};
  std::vector<std::string> prompts;
  std::vector<uint32_t> waits;
  std::string savedPath;
  int begun = 0;
  int ended = 0;
};

TEST(UpdateSequence, AllThreeStepsBurnAndVerify) {
  SequenceRig rig;
  rig.plan.bridge = rig.plan.touch = rig.plan.config = true;
  ASSERT_TRUE(rig.Run()) << testing::PrintToString(rig.fw.log.Texts());
  EXPECT_EQ(rig.loaderRig.loader->Flash().size() >= rig.bridgeImage.size(), true);
  EXPECT_TRUE(std::equal(rig.bridgeImage.begin(), rig.bridgeImage.end(), rig.loaderRig.loader->Flash().begin()));
  for (const std::string& line : {std::string("[V64er]检测设备"), std::string("[V64er]检测到设备2"),
                                  std::string("[V64er]开始烧录固件"), std::string("[V64er]烧录完成"),
                                  std::string("[VAzezu]开始烧录"), std::string("[VAzezu]烧录完成"),
                                  std::string("[CONFIG]烧录配置"), kBridgeOk,
                                  std::string("Config_3校验通过")}) {
    EXPECT_TRUE(rig.Saw(line)) << line;
  }
  EXPECT_TRUE(rig.fw.log.Has(GetChipNameVersion() + " 烧录成功", LOG_OK));
  EXPECT_EQ(rig.fw.log.Texts().back().rfind("烧录时间:", 0), 0u);
  EXPECT_TRUE(rig.fw.log.Errors().empty()) << testing::PrintToString(rig.fw.log.Errors());
  EXPECT_EQ(rig.waits, (std::vector<uint32_t>{kLoaderArrivalMs, kBridgeReturnMs}));
  EXPECT_EQ(rig.savedPath, rig.plan.bridgePath.string());
  EXPECT_EQ(rig.begun, 1);
  EXPECT_EQ(rig.ended, 1);
}

TEST(UpdateSequence, EachStepAlone) {
  struct Case {
    bool bridge, touch, config;
    std::string success;
  } cases[] = {{true, false, false, kBridgeOk},
               {false, true, false, "[VAzezu]烧录完成"},
               {false, false, true, "Config_3校验通过"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.success);
    SequenceRig rig;
    rig.plan.bridge = c.bridge;
    rig.plan.touch = c.touch;
    rig.plan.config = c.config;
    EXPECT_TRUE(rig.Run()) << testing::PrintToString(rig.fw.log.Texts());
    EXPECT_TRUE(rig.Saw(c.success));
    EXPECT_EQ(rig.loaderRig.loader->Ends(), c.bridge ? 1u : 0u);
    EXPECT_EQ(rig.configSends, c.config ? 1 : 0);
    EXPECT_EQ(rig.Saw("[VAzezu]开始烧录"), c.touch);
  }
}

TEST(UpdateSequence, AFailureInEachStepGivesItsLineAndNoSuccess) {
  std::string fileVersion;
  {
    SequenceRig probe;
    auto engine = CreateFwUpdate(FwFamily::DE9vur, nullptr, probe.fw.access);
    ASSERT_TRUE(engine->LoadFirmwareFile(probe.plan.touchPath));
    fileVersion = engine->GetFileChipVersion();
    ASSERT_FALSE(fileVersion.empty());
  }
  struct Case {
    const char* name;
    std::function<void(SequenceRig&)> spoil;
    std::string failure;
    // Empty: a step failed, so nothing is verified and no line says success.
    std::string forbidden = {};
    // A failed step ends only itself: the later steps still burn.
    bool touchBurns = true;
    bool configSent = true;
  } cases[] = {
      {"no bootloader", [](SequenceRig& r) { r.loaderAppears = false; }, "[V64er]进入升级模式失败"},
      {"programming fails",
       [](SequenceRig& r) { r.loaderRig.loader->InjectFault(ch55x::kVerify, sim::Ch55xFault::Refuse); },
       kBridgeFailed},
      {"bridge silent after the burn", [](SequenceRig& r) { r.bridgeAnswers = false; }, kBridgeFailed, kBridgeOk},
      {"firmware refused",
       [](SequenceRig& r) {
         r.plan.touchPath = WriteFile(r.fw.dir, "bad.bin", std::vector<uint8_t>(0x2000, 0x5A));
       },
       "", {}, false},
      // The chip stops answering in the middle of the burn: the engine says
      // so, and a chip that may still report the file's version is not
      // taken for a good burn.
      {"firmware burn breaks off", [](SequenceRig& r) { r.fw.access.Inject(Fault::Unplug, 12); }, "", {},
       false},
      {"chip gone at the check", [](SequenceRig& r) { r.chipAnswers = false; }, "触控芯片已断开连接",
       fileVersion + " 烧录成功"},
      {"chip reports another version", [](SequenceRig& r) { r.chipVersionSeen = "RU9_0001"; },
       "当前触控固件版本号为RU9_0001,固件文件版本号为" + fileVersion + ",版本有差异，升级失败",
       "RU9_0001 烧录成功"},
      {"configuration refused", [](SequenceRig& r) { r.configRefused = true; },
       "发送配置失败！请检查USB或I2C连接是否正常", {}, true, false},
      {"verification mismatch, older chip", [](SequenceRig& r) { r.compareMatchesAt = 0; r.chipConfigVersion = 2; },
       "配置校验失败", "Config_3校验通过"},
      {"verification mismatch, newer chip", [](SequenceRig& r) { r.compareMatchesAt = 0; r.chipConfigVersion = 5; },
       "当前配置版本号为5, 但是配置文件中的版本号为3,版本号过低。可以在Config->ConfigVersion修改版本号",
       "Config_3校验通过"},
      {"version read fails", [](SequenceRig& r) { r.compareMatchesAt = 0; r.chipConfigVersion.reset(); },
       "配置校验失败", "Config_3校验通过"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SequenceRig rig;
    rig.plan.bridge = rig.plan.touch = rig.plan.config = true;
    c.spoil(rig);
    EXPECT_FALSE(rig.Run());
    const auto errors = rig.fw.log.Errors();
    ASSERT_FALSE(errors.empty());
    if (!c.failure.empty()) {
      EXPECT_TRUE(rig.fw.log.Has(c.failure, LOG_ERROR)) << testing::PrintToString(errors);
    }
    if (c.forbidden.empty()) {
      EXPECT_FALSE(rig.SawOk()) << testing::PrintToString(rig.fw.log.Texts());
    } else {
      EXPECT_FALSE(rig.Saw(c.forbidden));
    }
    EXPECT_EQ(rig.Saw("[VAzezu]烧录完成"), c.touchBurns) << testing::PrintToString(rig.fw.log.Texts());
    EXPECT_EQ(rig.configSends, c.configSent ? 1 : 0);
    EXPECT_EQ(rig.ended, 1);
  }
}

TEST(UpdateSequence, LoaderAlreadyPresentAndMissingPaths) {
  SequenceRig rig;
  rig.loaderRig.loader->PowerUp();
  rig.plan.bridge = rig.plan.touch = rig.plan.config = true;
  rig.plan.touchPath.clear();
  UpdateHooks hooks = rig.Hooks();
  hooks.programmingPresent = [] { return true; };
  CUpdateSequence sequence(rig.loaderRig.isp, hooks, rig.fw.log);
  EXPECT_FALSE(sequence.Run(rig.plan));
  EXPECT_TRUE(rig.Saw("[V64er]检测到ISP设备"));
  EXPECT_TRUE(rig.Saw("[V64er]烧录完成"));
  EXPECT_EQ(rig.prompts, std::vector<std::string>{"[VAzezu]请选择固件文件"});
  // The configuration still burns, but with a step missing nothing is verified.
  EXPECT_EQ(rig.configSends, 1);
  EXPECT_FALSE(rig.SawOk());
}

// A bridge path without its full folder (the base name a relay image leaves
// in the path field once the image is gone) would reach whatever file of
// that name the working folder holds, burn it and write its side files
// there: it is refused before the path is stored or the bridge is touched.
TEST(UpdateSequence, ABridgePathWithoutItsFullFolderIsRefused) {
  for (const char* name : {"v64er.hex", "fw/v64er.hex", "../v64er.hex", "./v64er.bin"}) {
    SCOPED_TRACE(name);
    SequenceRig rig;
    const std::filesystem::path work = rig.fw.dir / "work";
    for (const char* file : {"v64er.hex", "fw/v64er.hex"}) {
      rig.WriteText(std::string("work/") + file, sim::ImageToIntelHex(rig.bridgeImage));
    }
    platform::testing_support::WriteBytes(work / "v64er.bin", std::string(400, '\x5A'));
    platform::testing_support::WorkingDirScope inWork(work);
    rig.plan.bridge = true;
    rig.plan.bridgePath = name;
    EXPECT_FALSE(rig.Run());
    EXPECT_TRUE(rig.fw.log.Has(std::string("[V64er]固件文件路径不完整，请重新选择 v64er 固件文件：") + name, LOG_ERROR))
        << testing::PrintToString(rig.fw.log.Texts());
    EXPECT_FALSE(rig.Saw("[V64er]检测设备"));
    EXPECT_FALSE(rig.loaderRig.loader->IsPresent()) << "the bridge was sent into its loader";
    EXPECT_EQ(rig.loaderRig.loader->Ends(), 0u);
    EXPECT_TRUE(rig.savedPath.empty()) << rig.savedPath;
    EXPECT_FALSE(rig.SawOk());
    EXPECT_EQ(rig.ended, 1);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(rig.fw.dir.path())) {
      EXPECT_NE(entry.path().extension(), ".ect") << entry.path();
    }
  }
}

TEST(UpdateSequence, RemoteImageBurnsReportsAndClosesAtZero) {
  struct Case {
    int remaining;
    bool sendOk;
    bool closed;
  } cases[] = {{2, true, false}, {1, true, true}, {2, false, true}};
  for (const Case& c : cases) {
    const int remaining = c.remaining;
    SCOPED_TRACE(testing::Message() << remaining << (c.sendOk ? " sent" : " send fails"));
    SequenceRig rig;
    rig.plan.bridge = true;
    rig.plan.bridgePath = "..\\evil\\path.hex";
    auto image = std::make_shared<RemoteImage>();
    image->fileName = "remote.hex";
    image->data = Pattern(500, 9);
    int left = remaining;
    int burnDone = 0;
    bool closed = false;
    UpdateHooks hooks = rig.Hooks();
    hooks.remote.takeImage = [&]() -> std::shared_ptr<const RemoteImage> { return closed ? nullptr : image; };
    hooks.remote.remaining = [&] { return left; };
    hooks.remote.sendBurnDone = [&] {
      ++burnDone;
      return c.sendOk ? 1u : 0u;
    };
    hooks.remote.decrementRemaining = [&] { return --left; };
    hooks.remote.closeLink = [&] { closed = true; };
    CUpdateSequence sequence(rig.loaderRig.isp, hooks, rig.fw.log);
    EXPECT_TRUE(sequence.Run(rig.plan)) << testing::PrintToString(rig.fw.log.Texts());
    EXPECT_TRUE(std::equal(image->data.begin(), image->data.end(), rig.loaderRig.loader->Flash().begin()));
    EXPECT_EQ(burnDone, 1);
    EXPECT_EQ(closed, c.closed);
    // Only a burn the server was told of counts against what it allowed.
    EXPECT_EQ(left, c.sendOk ? remaining - 1 : remaining);
    EXPECT_TRUE(rig.savedPath.empty()) << "a remote name is never stored as the path";
    // Side files only in the temporary folder.
    const auto sum = ImageCheckSum(rig.loaderRig.isp.Image());
    const auto paths = HexSideFilePaths(rig.fw.dir / "System/Temp/remote.hex", 0x0123, sum);
    ASSERT_TRUE(paths);
    EXPECT_TRUE(std::filesystem::exists(paths->ect));
    EXPECT_FALSE(std::filesystem::exists(rig.fw.dir / "evil"));
  }
}

// The relay server's side of a run, on the loopback address: the link's
// lines and the images it took in, each waited for with a limit.
class RelayLinkRig : public ILogSink {
 public:
  RelayLinkRig() : server(kLinkId, Image()), link(*this) {
    link.SetImageListener([this](const std::string&) {
      std::lock_guard lock(mutex_);
      ++images_;
      changed_.notify_all();
    });
  }
  static sim::RelayImage Image() {
    sim::RelayImage image;
    image.fileName = "remote.hex";
    image.clearData = Pattern(500, 9);
    image.remaining = 2;
    return image;
  }
  // Connected, asked, and the image taken in.
  bool Connect() {
    return server.Start() && link.AcceptKey("00000000D7") &&
           link.ConnectToServer("127.0.0.1", server.Port()) && link.SendRequest() == 1 &&
           WaitImages(1);
  }
  void AddLog(const std::string& text, LogLevel) override {
    std::lock_guard lock(mutex_);
    lines_.push_back(text);
    changed_.notify_all();
  }
  bool WaitLine(const std::string& text) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] {
      return std::find(lines_.begin(), lines_.end(), text) != lines_.end();
    });
  }
  bool WaitImages(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return images_ >= count; });
  }

  static constexpr uint32_t kLinkId = 0x14;

 private:
  // Before the link, whose receiving thread writes them until it is gone.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
  int images_ = 0;

 public:
  sim::SimRelayServer server;
  CRemoteLink link;
};

// The image the run chose is withdrawn while the bootloader is reached, before
// it is written: nothing is written, no burn is reported, the step fails at
// once, and the server is asked for the image again.
TEST(UpdateSequence, ARemoteImageWithdrawnBeforeTheWriteIsAskedForAgain) {
  struct Case {
    const char* name;
    bool closeLink;  // else the server sends a refused image message
  } cases[] = {{"refused image message", false}, {"link closed", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RelayLinkRig relay;
    ASSERT_TRUE(relay.Connect());
    SequenceRig rig;
    rig.plan.bridge = true;
    UpdateHooks hooks = rig.Hooks();
    hooks.remote = RemoteImageOpsOf(relay.link);
    const auto enter = hooks.enterUpgradeMode;
    hooks.enterUpgradeMode = [&] {
      if (c.closeLink) {
        relay.link.DisconnectFromServer();
      } else {
        relay.server.SetFault(sim::RelayFault::WrongSum);
        EXPECT_EQ(relay.link.SendRequest(), 1u);
        EXPECT_TRUE(relay.WaitLine("服务器镜像无效"));
        relay.server.SetFault(sim::RelayFault::None);
      }
      return enter();
    };
    CUpdateSequence sequence(rig.loaderRig.isp, hooks, rig.fw.log);
    EXPECT_FALSE(sequence.Run(rig.plan));

    const std::vector<std::string> texts = rig.fw.log.Texts();
    EXPECT_TRUE(rig.Saw(kBridgeFailed)) << testing::PrintToString(texts);
    EXPECT_FALSE(rig.Saw("[V64er]烧录完成"));
    EXPECT_FALSE(rig.SawOk());
    const std::vector<uint8_t> flash = rig.loaderRig.loader->Flash();
    EXPECT_EQ(rig.loaderRig.loader->Ends(), 0u);
    EXPECT_FALSE(flash.size() >= 500 && std::equal(flash.begin(), flash.begin() + 500,
                                                   RelayLinkRig::Image().clearData.begin()));
    EXPECT_EQ(std::count(rig.waits.begin(), rig.waits.end(), kBridgeReturnMs), 0)
        << "no wait for a bridge that was never written";
    EXPECT_EQ(relay.server.BurnsDone(), 0u);
    if (c.closeLink) {
      EXPECT_EQ(relay.server.Requests(), 1u) << "a closed link sends nothing";
      EXPECT_FALSE(relay.link.IsConnected());
    } else {
      // Connect, the refused one, and the run's own request, whose answer
      // gives the next run an image again.
      EXPECT_TRUE(relay.server.WaitRequests(3));
      EXPECT_TRUE(relay.WaitImages(2));
      EXPECT_NE(relay.link.TakeImage(), nullptr);
      EXPECT_EQ(relay.link.Remaining(), 2);
    }
  }
}

TEST(HexSideFiles, NamesFromTheStemAndNeverTheSource) {
  platform::testing_support::ScratchDir dir;
  const std::vector<uint8_t> image = Pattern(300, 1);
  const uint16_t sum = ImageCheckSum(image);
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "_0123_%02X", sum);
  struct Case {
    std::string source;
    bool written;
  } cases[] = {{"fw.hex", true}, {"FW.HEX", true}, {"a.hex.d/fw.hex", true}, {"fw.bin", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    const auto source = dir / c.source;
    std::filesystem::create_directories(source.parent_path());
    platform::testing_support::WriteBytes(source, "source text");
    const auto paths = WriteHexSideFiles(source, image, 0x0123);
    std::string kept;
    ASSERT_TRUE(platform::ReadFileBytes(source, &kept, 1000));
    EXPECT_EQ(kept, "source text");
    ASSERT_EQ(paths.has_value(), c.written);
    if (!c.written) continue;
    EXPECT_EQ(paths->ect, source.parent_path() / (source.stem().string() + suffix + ".ect"));
    std::string ect, bin;
    ASSERT_TRUE(platform::ReadFileBytes(paths->ect, &ect, 1000));
    ASSERT_TRUE(platform::ReadFileBytes(paths->bin, &bin, 1000));
    EXPECT_EQ(ect.size(), kHexSideHeaderBytes);
    EXPECT_EQ(bin.size(), image.size() - kHexSideHeaderBytes);
  }
  // A second run rewrites the header and keeps an existing body.
  const auto source = dir / "fw.hex";
  const auto paths = HexSideFilePaths(source, 0x0123, sum);
  platform::testing_support::WriteBytes(paths->ect, "old");
  platform::testing_support::WriteBytes(paths->bin, "kept");
  WriteHexSideFiles(source, image, 0x0123);
  std::string ect, bin;
  ASSERT_TRUE(platform::ReadFileBytes(paths->ect, &ect, 1000));
  ASSERT_TRUE(platform::ReadFileBytes(paths->bin, &bin, 1000));
  EXPECT_EQ(ect.size(), kHexSideHeaderBytes);
  EXPECT_EQ(bin, "kept");

  // A header that cannot be written is said, never passed over in silence.
  std::filesystem::remove(paths->ect);
  std::filesystem::create_directories(paths->ect);
  std::vector<std::string> errors;
  WriteHexSideFiles(source, image, 0x0123, &errors);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find(paths->ect.filename().string()), std::string::npos) << errors[0];
}

}  // namespace
