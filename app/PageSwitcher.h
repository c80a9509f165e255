#pragma once
// The main window's pages: one shown at a time in the page area. The demo,
// raw, difference and observe pages toggle: their button shows a stopped page
// and starts its stream, or stops the running page's stream and leaves it
// shown. Also the core's view of the pages (IStreamControl): device arrival
// restarts the current page, removal marks it stopped, a configuration send
// stops and restarts a streaming page. Core calls from other threads are
// carried out on the UI thread.

#include <QObject>
#include <atomic>

#include "device/StreamControl.h"

class CDataLayout;
class CDemo;
class QStackedWidget;
class QWidget;

class PageSwitcher : public QObject, public IStreamControl {
  Q_OBJECT

 public:
  struct Pages {
    QStackedWidget* area = nullptr;
    CDemo* demo = nullptr;
    CDataLayout* raw = nullptr;
    CDataLayout* diff = nullptr;
    CDataLayout* observe = nullptr;
    QWidget* test = nullptr;  // the module test page
  };

  // Registers itself as the process's stream control.
  explicit PageSwitcher(Pages pages, QObject* parent = nullptr);
  ~PageSwitcher() override;

  // The toggling page button of a data page (UI thread).
  void OnPageButton(int page);
  // The module test page's button: the chip's stream stops, every data page
  // is marked stopped and the test page is shown (UI thread).
  void ShowTestPage();
  // Closing: ends every page's read chain without a word to the chip (the
  // device teardown stops the chip's stream off the UI thread). UI thread.
  void HaltAll();
  void SetBusy(bool busy) { busy_ = busy; }
  bool IsPageStopped(int page) const;

  // IStreamControl
  int CurrentPage() const override { return currentPage_; }
  bool IsBusy() const override { return busy_; }
  void RestartPage(int page) override;
  void MarkPageStopped(int page) override;
  bool StopPageStream(int page) override;
  void RestartPageStream(int page) override;

 private:
  QWidget* PageWidget(int page) const;
  CDataLayout* DataLayout(int page) const;
  // Marks the page stopped without a stream command of its own.
  void MarkStoppedOnUi(int page);

  Pages pages_;
  std::atomic<int> currentPage_{PAGE_DEMO};
  std::atomic<bool> busy_{false};
};
