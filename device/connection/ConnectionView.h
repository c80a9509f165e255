#pragma once
// What the connection logic shows: log lines, the two link lamps and their
// texts. The window implements it; the core stays free of widgets. Lamp
// colours carry the same values as the lamp buttons' states.

#include <string>
#include <vector>

#include "device/LogSink.h"

enum class Indicator { Bridge, TouchIc };

enum class LampColour : int { Red = 0, Grey = 1, Green = 2 };

// What the connection monitor's worker found out about the two links.
struct ConnectionProbe {
  // false when the device was left alone (a burn or a test owned it).
  bool probed = false;
  // The bridge's version text; empty when no bridge answered.
  std::string bridgeText;
  // The bridge lamp's caption for an answering bridge ("K101_0110").
  std::string bridgeLampText;
  // The chip was identified and is one of the listed chips.
  bool chipOk = false;
  std::string chipNameVersion;
};

// One change of the display: a log line, a lamp colour or a lamp caption.
struct ViewAction {
  enum class Kind { Log, Lamp, LampText };
  Kind kind = Kind::Log;
  std::string text;  // the line or the caption
  LogLevel level = LOG_INFO;
  Indicator lamp = Indicator::Bridge;
  LampColour colour = LampColour::Grey;

  static ViewAction Log(std::string text, LogLevel level);
  static ViewAction Lamp(Indicator lamp, LampColour colour);
  static ViewAction LampText(Indicator lamp, std::string text);
  bool operator==(const ViewAction&) const = default;
};
using ViewActions = std::vector<ViewAction>;

class IConnectionView {
 public:
  virtual ~IConnectionView() = default;
  // Every member may be called from any thread; the window hands widget
  // changes over to its own thread.
  virtual void AddLog(const std::string& text, LogLevel level) = 0;
  virtual void SetLamp(Indicator lamp, LampColour colour) = 0;
  virtual void SetLampText(Indicator lamp, const std::string& text) = 0;
  // Runs the connection-status check on the window's side with this probe
  // and waits for its answer: non-zero when a link is missing (the next check
  // then comes sooner), 0 when both links are up or the check was skipped.
  virtual int CheckConnectionStatus(const ConnectionProbe& probe) = 0;
};

// Carries out the actions in order.
void ApplyViewActions(const ViewActions& actions, IConnectionView& view);
