#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QSysInfo>
#include <memory>
#include <string>

#include "app/KestranaApp.h"
#include "app/SingleInstanceGuard.h"
#include "ui/UiBridge.h"
#include "sim/SimHidBackend.h"
#include "tests/ui/FakePrompts.h"
#include "tests/platform/ScratchDir.h"

namespace {

using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;

QString Dir(const ScratchDir& dir) { return QString::fromStdString(dir.path().string()); }

// The id of a process that has certainly ended.
pid_t DeadProcessId() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return child;
}

TEST(SingleInstanceGuard, SecondHolderIsRefusedUntilTheFirstLetsGo) {
  ScratchDir dir;
  auto first = std::make_unique<SingleInstanceGuard>(Dir(dir));
  EXPECT_EQ(first->LockFilePath(), Dir(dir) + "/Kestrana.lock");
  ASSERT_TRUE(first->TryAcquire());
  EXPECT_TRUE(first->TryAcquire()) << "holding already counts";

  SingleInstanceGuard second(Dir(dir));
  EXPECT_FALSE(second.TryAcquire());
  EXPECT_FALSE(second.IsHeld());
  EXPECT_EQ(second.Error(), QLockFile::LockFailedError);

  first.reset();
  EXPECT_TRUE(second.TryAcquire());
}

TEST(SingleInstanceGuard, LockOfADeadProcessIsTakenOver) {
  ScratchDir dir;
  // What a crashed instance leaves behind: its id, name and host.
  WriteBytes(dir / "Kestrana.lock", std::to_string(DeadProcessId()) + "\nkestrana\n" +
                                        QSysInfo::machineHostName().toStdString() + "\n");
  SingleInstanceGuard guard(Dir(dir));
  EXPECT_TRUE(guard.TryAcquire());
}

TEST(SingleInstanceGuard, UnusableFolderIsAFailureNotAPass) {
  ScratchDir dir;
  SingleInstanceGuard guard(Dir(dir) + "/missing/folder");
  EXPECT_FALSE(guard.TryAcquire());
}

TEST(SecondInstance, IsToldAndEndsWithStatusOneWithoutTouchingTheDevice) {
  ScratchDir lockDir;
  ScratchDir root;
  SingleInstanceGuard firstInstance(Dir(lockDir));
  ASSERT_TRUE(firstInstance.TryAcquire());

  FakePrompts prompts;
  auto backend = std::make_shared<sim::SimHidBackend>();
  auto bridge = backend->AddBridge(sim::MakeDefaultBridge(sim::ChipFamily::RU9));
  {
    CKestranaApp second(prompts, Dir(lockDir));
    RuntimeRootInputs inputs;
    inputs.rootOverride = root.path().string();
    EXPECT_EQ(second.Start(inputs, backend), std::optional<int>(CKestranaApp::kExitRefused));
    EXPECT_EQ(second.Window(), nullptr);
  }
  EXPECT_EQ(prompts.infos, QStringList{QStringLiteral("应用程序已经运行!")});
  EXPECT_TRUE(bridge->Trace().Entries().empty());
  EXPECT_TRUE(firstInstance.IsHeld()) << "the first instance keeps running";
  EXPECT_FALSE(std::filesystem::exists(root / "System")) << "nothing created for the refused start";
  g_shuttingDown = false;
}

// A lock that cannot be made at all is not a running instance: the user is
// warned with the lock file's path instead.
TEST(UnusableLockFolder, IsReportedWithThePathAndEndsWithStatusOne) {
  ScratchDir lockDir;
  ScratchDir root;
  const QString missing = Dir(lockDir) + "/missing";
  FakePrompts prompts;
  {
    CKestranaApp app(prompts, missing);
    RuntimeRootInputs inputs;
    inputs.rootOverride = root.path().string();
    EXPECT_EQ(app.Start(inputs, std::make_shared<sim::SimHidBackend>()),
              std::optional<int>(CKestranaApp::kExitRefused));
    EXPECT_EQ(app.Window(), nullptr);
  }
  EXPECT_TRUE(prompts.infos.isEmpty()) << "not the second-instance message";
  ASSERT_EQ(prompts.warnings.size(), 1);
  EXPECT_TRUE(prompts.warnings[0].contains(missing + "/Kestrana.lock"))
      << prompts.warnings[0].toStdString();
  g_shuttingDown = false;
}

}  // namespace
