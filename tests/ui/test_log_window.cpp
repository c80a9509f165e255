#include "ui/LogWindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "tests/ui/QtTestUtil.h"

namespace {

using qttest::ProcessEventsUntil;

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlack(0, 0, 0);

struct ShownLine {
  QString text;
  QColor color;
  qreal pointSize;
  bool bold;
};

bool operator==(const ShownLine& a, const ShownLine& b) {
  return a.text == b.text && a.color == b.color && a.pointSize == b.pointSize && a.bold == b.bold;
}

void PrintTo(const ShownLine& l, std::ostream* os) {
  *os << '"' << l.text.toStdString() << "\" " << l.color.name().toStdString() << ' ' << l.pointSize
      << "pt" << (l.bold ? " bold" : "");
}

// The pane's lines with the format of their characters; a line whose
// characters differ in format is reported with the format of the odd one out,
// so a spinner character drawn in the wrong style shows up as well.
std::vector<ShownLine> Lines(const CMyRichEditCtrl& log) {
  std::vector<ShownLine> lines;
  const QTextDocument* doc = log.document();
  for (QTextBlock block = doc->begin(); block != doc->end(); block = block.next()) {
    QTextCharFormat format = block.charFormat();
    bool first = true;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat f = it.fragment().charFormat();
      if (first || f.foreground() != format.foreground() ||
          f.fontPointSize() != format.fontPointSize() || f.fontWeight() != format.fontWeight()) {
        format = f;
        if (!first) break;
      }
      first = false;
    }
    lines.push_back({block.text(), format.foreground().color(), format.fontPointSize(),
                     format.fontWeight() == QFont::Bold});
  }
  if (lines.size() == 1 && lines[0].text.isEmpty()) {
    lines.clear();  // an empty document still holds one empty block
  }
  return lines;
}

struct Step {
  enum Kind { kLog, kTick, kClear } kind;
  const char* text = "";
  LogLevel level = LOG_INFO;
};
Step Log(const char* text, LogLevel level) { return {Step::kLog, text, level}; }
Step Log(const char* text, int level) { return {Step::kLog, text, static_cast<LogLevel>(level)}; }
const Step kTick{Step::kTick};
const Step kClear{Step::kClear};

struct SequenceCase {
  const char* name;
  std::vector<Step> steps;
  std::vector<ShownLine> expected;
  bool spinning;
};

void PrintTo(const SequenceCase& c, std::ostream* os) { *os << c.name; }

class LogSequenceTest : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(LogSequenceTest, ShowsLinesInTheirLevelsStyle) {
  CMyRichEditCtrl log;
  for (const Step& step : GetParam().steps) {
    switch (step.kind) {
      case Step::kLog:
        log.AddLog(step.text, step.level);
        break;
      case Step::kTick:
        log.TurnSpinner();
        break;
      case Step::kClear:
        log.OnClear();
        break;
    }
  }
  EXPECT_EQ(Lines(log), GetParam().expected);
  EXPECT_EQ(log.IsSpinning(), GetParam().spinning);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, LogSequenceTest,
    ::testing::Values(
        SequenceCase{"BusyThenOkEndsTheSpinner",
                     {Log("下载ISP", LOG_BUSY), kTick, kTick, Log("下载ISP成功", LOG_OK)},
                     {{"下载ISP", kBlue, 11, false}, {"下载ISP成功", kGreen, 11, false}},
                     false},
        SequenceCase{"TwoBusyLinesOnlyTheSecondTurns",
                     {Log("A", LOG_BUSY), kTick, Log("B", LOG_BUSY)},
                     {{"A", kBlue, 11, false}, {"B:-", kBlue, 11, false}},
                     true},
        SequenceCase{"BusyTextLineBreaksBecomeMarkers",
                     {Log("a\nb", LOG_BUSY)},
                     {{"a:-b:-", kBlue, 11, false}},
                     true},
        SequenceCase{"VerdictsAreLargeAndTheNextLineIsSmallOnItsOwnLine",
                     {Log("OK", LOG_PASS), Log("x", LOG_INFO), Log("NG", LOG_FAIL),
                      Log("USB已连接", LOG_OK)},
                     {{"OK", kGreen, 50, false},
                      {"x", kBlue, 11, false},
                      {"NG", kRed, 50, false},
                      {"USB已连接", kGreen, 11, false}},
                     false},
        SequenceCase{"ErrorIsBoldRedAndBoldEndsWithIt",
                     {Log("失败", LOG_ERROR), Log("y", LOG_INFO)},
                     {{"失败", kRed, 11, true}, {"y", kBlue, 11, false}},
                     false},
        SequenceCase{"UnknownLevelKeepsColourAndSizeButNotBold",
                     {Log("e", LOG_ERROR), Log("z", 9), Log("v", LOG_PASS), Log("w", -1)},
                     {{"e", kRed, 11, true},
                      {"z", kRed, 11, false},
                      {"v", kGreen, 50, false},
                      {"w", kGreen, 50, false}},
                     false},
        SequenceCase{
            "UnknownLevelFirstUsesTheBaseStyle", {Log("q", 6)}, {{"q", kBlack, 9, false}}, false},
        SequenceCase{"EmptyAndMultiLineTextsKeepTheirLines",
                     {Log("", LOG_INFO), Log("a\nb", LOG_INFO), Log("c", LOG_OK)},
                     {{"", kBlue, 11, false},
                      {"a", kBlue, 11, false},
                      {"b", kBlue, 11, false},
                      {"c", kGreen, 11, false}},
                     false},
        SequenceCase{"ClearEmptiesThePaneAndStopsTheSpinner",
                     {Log("A", LOG_INFO), Log("B", LOG_BUSY), kClear, kTick},
                     {},
                     false},
        SequenceCase{"AfterClearTheNextLineStartsThePane",
                     {Log("A", LOG_BUSY), kClear, kTick, Log("B", LOG_OK)},
                     {{"B", kGreen, 11, false}},
                     false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LogWindowTest, SpinnerTurnsEveryEightyMillisecondsThroughFourFrames) {
  CMyRichEditCtrl log;
  EXPECT_EQ(log.SpinnerIntervalMs(), 80);
  EXPECT_FALSE(log.IsSpinning());

  // Each busy line starts from "-", whatever frame an earlier one stopped at.
  for (int round = 0; round < 2; ++round) {
    log.AddLog("校验配置", LOG_BUSY);
    EXPECT_TRUE(log.IsSpinning());
    std::vector<QString> frames{log.document()->lastBlock().text()};
    for (int i = 0; i < 5; ++i) {
      log.TurnSpinner();
      frames.push_back(log.document()->lastBlock().text());
    }
    EXPECT_EQ(frames, (std::vector<QString>{"校验配置:-", "校验配置:\\", "校验配置:|", "校验配置:/",
                                            "校验配置:-", "校验配置:\\"}));
    EXPECT_EQ(Lines(log).back(), (ShownLine{"校验配置:\\", kBlue, 11, false}));
  }
}

TEST(LogWindowTest, SpinnerTimerDrivesTheSpinner) {
  CMyRichEditCtrl log;
  log.AddLog("A", LOG_BUSY);
  auto* timer = log.findChild<QTimer*>("spinnerTimer");
  ASSERT_NE(timer, nullptr);
  ASSERT_TRUE(timer->isActive());
  QMetaObject::invokeMethod(timer, "timeout");
  EXPECT_EQ(log.document()->lastBlock().text(), "A:\\");
}

// A clear drops what was logged before it, even lines a worker queued that
// the UI thread has not shown yet, and keeps every line logged after it,
// whichever thread asked for the clear.
TEST(LogWindowTest, ClearDropsQueuedLinesAndKeepsLaterOnes) {
  struct Case {
    const char* name;
    std::function<void(CMyRichEditCtrl&)> clear;
  } cases[] = {
      {"menu action",
       [](CMyRichEditCtrl& log) {
         auto* action = log.findChild<QAction*>("clearAction");
         ASSERT_NE(action, nullptr);
         EXPECT_EQ(action->text(), "clear");
         action->trigger();
       }},
      {"worker", [](CMyRichEditCtrl& log) { std::thread([&] { log.Clear(); }).join(); }},
      {"worker between its lines", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CMyRichEditCtrl log;
    log.AddLog("shown", LOG_INFO);
    if (c.clear) {
      std::thread([&] { log.AddLog("queued", LOG_BUSY); }).join();
      c.clear(log);
      std::thread([&] { log.AddLog("after", LOG_OK); }).join();
    } else {
      std::thread([&] {
        log.AddLog("queued", LOG_BUSY);
        log.Clear();
        log.AddLog("after", LOG_OK);
      }).join();
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return Lines(log).size() == 1 && !Lines(log)[0].text.contains("shown"); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(Lines(log), (std::vector<ShownLine>{{"after", kGreen, 11, false}}));
    EXPECT_FALSE(log.IsSpinning()) << "the dropped busy line turns nothing";
  }
}

TEST(LogWindowTest, UiThreadLineFollowsLinesQueuedBeforeIt) {
  CMyRichEditCtrl log;
  std::thread([&] {
    log.AddLog("w1", LOG_INFO);
    log.AddLog("w2", LOG_BUSY);
  }).join();
  EXPECT_TRUE(Lines(log).empty());  // nothing shown until the UI thread takes over

  log.AddLog("ui", LOG_OK);  // shown at once, behind what was queued
  EXPECT_EQ(Lines(log),
            (std::vector<ShownLine>{
                {"w1", kBlue, 11, false}, {"w2", kBlue, 11, false}, {"ui", kGreen, 11, false}}));
  EXPECT_FALSE(log.IsSpinning());

  // The wake-up the worker asked for finds nothing left to show.
  QCoreApplication::processEvents();
  EXPECT_EQ(Lines(log).size(), 3u);
}

TEST(LogWindowTest, WorkerNeverWaitsForTheUiThread) {
  CMyRichEditCtrl log;
  constexpr int kLines = 1000;
  // The UI thread serves no events while the worker logs, as when it is busy
  // closing the program: a blocking AddLog would stall the worker here.
  auto done = std::async(std::launch::async, [&] {
    for (int n = 0; n < kLines; ++n) log.AddLog("n" + std::to_string(n), LOG_INFO);
  });
  const bool finished = done.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  EXPECT_TRUE(finished) << "AddLog blocked on the UI thread";
  ASSERT_TRUE(ProcessEventsUntil([&] {
    return done.wait_for(std::chrono::seconds(0)) == std::future_status::ready &&
           log.document()->blockCount() == kLines;
  }));
  EXPECT_EQ(log.document()->lastBlock().text(), "n999");
}

TEST(LogWindowTest, FourThreadsLinesStayWholeStyledAndInOrder) {
  constexpr int kThreads = 4;
  constexpr int kLinesPerThread = 500;
  const LogLevel levels[kThreads] = {LOG_INFO, LOG_ERROR, LOG_OK, static_cast<LogLevel>(7)};
  const ShownLine styles[kThreads] = {
      {"", kBlue, 11, false}, {"", kRed, 11, true}, {"", kGreen, 11, false}, {"", {}, 0, false}};
  CMyRichEditCtrl log;

  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int n = 0; n < kLinesPerThread; ++n) {
        log.AddLog("t" + std::to_string(t) + " n" + std::to_string(n), levels[t]);
      }
    });
  }
  const bool all = ProcessEventsUntil(
      [&] { return log.document()->blockCount() >= kThreads * kLinesPerThread; });
  for (auto& w : workers) w.join();
  ASSERT_TRUE(all);
  QCoreApplication::processEvents();

  const std::vector<ShownLine> lines = Lines(log);
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLinesPerThread));
  std::vector<int> next(kThreads, 0);
  ShownLine previous{"", kBlack, 9, false};
  for (const ShownLine& line : lines) {
    const QStringList parts = line.text.split(' ');
    ASSERT_EQ(parts.size(), 2) << line.text.toStdString();
    const int t = parts[0].mid(1).toInt();
    ASSERT_TRUE(t >= 0 && t < kThreads) << line.text.toStdString();
    EXPECT_EQ(parts[1], "n" + QString::number(next[t])) << "thread " << t;
    ++next[t];
    // Level 7 lines take the style of whatever line came before them.
    ShownLine style =
        levels[t] == 7 ? ShownLine{"", previous.color, previous.pointSize, false} : styles[t];
    style.text = line.text;
    EXPECT_EQ(line, style);
    previous = line;
  }
}

TEST(LogWindowTest, PaneKeepsOnlyTheNewestLines) {
  CMyRichEditCtrl defaults;
  EXPECT_EQ(defaults.document()->maximumBlockCount(), CMyRichEditCtrl::kDefaultMaxLines);

  CMyRichEditCtrl log(nullptr, 50);
  for (int round = 0; round < 2; ++round) {
    for (int n = 0; n < 120; ++n) log.AddLog("line " + std::to_string(n), LOG_INFO);
    EXPECT_EQ(log.document()->blockCount(), 50);
    EXPECT_EQ(log.document()->firstBlock().text(), "line 70");
    log.AddLog("busy", LOG_BUSY);
    log.AddLog("done", LOG_OK);
    EXPECT_EQ(log.document()->blockCount(), 50);
    EXPECT_EQ(log.document()->lastBlock().previous().text(), "busy");
    EXPECT_EQ(log.document()->lastBlock().text(), "done");
    log.OnClear();  // the bound still holds after a clear
    EXPECT_TRUE(Lines(log).empty());
  }
}

TEST(LogWindowTest, ScrollsToTheNewestLine) {
  CMyRichEditCtrl log;
  log.resize(300, 120);
  log.show();
  for (int n = 0; n < 200; ++n) log.AddLog("line " + std::to_string(n), LOG_INFO);
  QCoreApplication::processEvents();
  QScrollBar* bar = log.verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_TRUE(log.isReadOnly());
}

}  // namespace
