#pragma once
// The questions and notices the shell puts to the user: message boxes and file
// dialogs. Widgets take an IPrompts by reference so tests can answer them with
// a script instead of a modal dialog.

#include <QString>
#include <optional>

class IPrompts {
 public:
  virtual ~IPrompts() = default;

  virtual void info(const QString& text) = 0;
  virtual void warn(const QString& text) = 0;
  // true when the user answered Yes.
  virtual bool askYesNo(const QString& text) = 0;
  // filter is a Qt name filter ("Config Files (*.cfg);;All Files (*)"; see
  // WinFilterToQt). The chosen file must exist. nullopt when cancelled.
  virtual std::optional<QString> openFileName(const QString& folder, const QString& filter) = 0;
  // proposedName is the file name offered in the dialog; defaultSuffix
  // ("cfg", no dot) is appended when the user types a name without one.
  // Overwriting an existing file is confirmed by the dialog. nullopt when
  // cancelled.
  virtual std::optional<QString> saveFileName(const QString& folder, const QString& filter,
                                              const QString& proposedName,
                                              const QString& defaultSuffix) = 0;
};
