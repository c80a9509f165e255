#pragma once
// The data-options pop-up: shows the four data formats (raw, difference,
// observe, stylus) for editing and switches the bridge's touch reporting off
// and on.
//
// Building it is how the data formats of the chip in force get loaded: the
// constructor looks up the chip's INI and .sc files and reads the formats
// from that INI into the store, so the main window builds a new one whenever
// the chip may have changed. Apply validates all four formats together; a
// format that would not fit the frame buffers refuses the whole apply (the
// store keeps its values, nothing is written, the user is told why). An
// accepted apply writes every field to the chip INI's "Option" section; of
// those only the rows and columns are read back at the next load.
//
// Modeless; neither Apply nor Cancel closes it. Closing it from its title bar
// applies first and stays open when the apply is refused.
//
// The formats may change while it is open (a panel geometry read after a
// send or an update). A field that still shows what the dialog put in it
// was not edited: an apply takes the format in force for it, never the value
// shown when the dialog was filled.

#include <QDialog>
#include <array>
#include <filesystem>

#include "device/LogSink.h"
#include "views/DataFormat.h"

class DataFormatStore;
class IPrompts;
class QCheckBox;
class QCloseEvent;
class QComboBox;

class COptionDlg : public QDialog {
  Q_OBJECT

 public:
  // The chip INI "Option" keys the dialog writes.
  static constexpr char kSection[] = "Option";
  static constexpr char kDigitizerKey[] = "Disable digiter interface";

  enum class ApplyResult {
    Saved,        // stored and written
    Refused,      // a format is out of bounds: nothing stored or written
    WriteFailed,  // stored, but the chip INI could not be written (the user was told)
  };

  // Looks up the current chip's INI and .sc files and loads the formats into
  // store (log, which may be null, gets a line for every value that had to
  // fall back to its default). store, prompts and log must outlive the
  // dialog.
  COptionDlg(DataFormatStore& store, IPrompts& prompts, ILogSink* log, QWidget* parent = nullptr);

  // "Aplly": takes every edited field in, the formats in force for the
  // others, stores the formats and writes the "Option" record; the fields
  // then show what was stored.
  ApplyResult OnBnClickedApply();
  // "Cancel": shows the stored addresses, rows and columns again (the list
  // selections stay as they are). The main window calls it before showing
  // the dialog.
  void OnBnClickedCancel();
  // The "turn touch off" box was clicked into the given state.
  void OnBnClickedDisableDigitizer(bool checked);

  // The chip INI the formats were loaded from and are written to.
  const std::filesystem::path& ChipIniPath() const { return chipIni_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  struct KindRow {
    QComboBox* address = nullptr;
    QComboBox* rows = nullptr;
    QComboBox* cols = nullptr;
    QComboBox* isSigned = nullptr;
    QComboBox* bit = nullptr;
    QComboBox* endian = nullptr;
  };

  // What the dialog last put into a row's fields.
  struct ShownRow {
    QString address, rows, cols;
    uint8_t isSigned = 0, bit = 0, endian = 0;
  };

  void BuildControls();
  void ShowSelections();
  bool WriteOption(const char* key, const std::string& value);
  bool WriteOptions(const std::vector<std::pair<std::string, std::string>>& keyValues);
  KindRow& Row(DataKind kind) { return rows_[static_cast<size_t>(kind)]; }

  DataFormatStore& store_;
  IPrompts& prompts_;
  ILogSink* log_;
  std::filesystem::path chipIni_;
  std::array<KindRow, kDataKindCount> rows_{};
  std::array<ShownRow, kDataKindCount> shown_{};
  QCheckBox* disableDigitizer_ = nullptr;
};
