#include "device/connection/ConnectionView.h"

#include <utility>

ViewAction ViewAction::Log(std::string text, LogLevel level) {
  ViewAction a;
  a.kind = Kind::Log;
  a.text = std::move(text);
  a.level = level;
  return a;
}

ViewAction ViewAction::Lamp(Indicator lamp, LampColour colour) {
  ViewAction a;
  a.kind = Kind::Lamp;
  a.lamp = lamp;
  a.colour = colour;
  return a;
}

ViewAction ViewAction::LampText(Indicator lamp, std::string text) {
  ViewAction a;
  a.kind = Kind::LampText;
  a.lamp = lamp;
  a.text = std::move(text);
  return a;
}

void ApplyViewActions(const ViewActions& actions, IConnectionView& view) {
  for (const ViewAction& action : actions) {
    switch (action.kind) {
      case ViewAction::Kind::Log:
        view.AddLog(action.text, action.level);
        break;
      case ViewAction::Kind::Lamp:
        view.SetLamp(action.lamp, action.colour);
        break;
      case ViewAction::Kind::LampText:
        view.SetLampText(action.lamp, action.text);
        break;
    }
  }
}
