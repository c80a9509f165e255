#include "app/PageSwitcher.h"

#include <QStackedWidget>

#include "device/link/RegisterOps.h"
#include "ui/UiBridge.h"
#include "views/widgets/DataLayout.h"
#include "views/widgets/Demo.h"

namespace {

constexpr int kToggledPages[] = {PAGE_DEMO, PAGE_RAW, PAGE_DIFF, PAGE_OBSERVE};

bool IsToggledPage(int page) { return page >= PAGE_DEMO && page <= PAGE_OBSERVE; }

}  // namespace

PageSwitcher::PageSwitcher(Pages pages, QObject* parent) : QObject(parent), pages_(pages) {
  SetStreamControl(this);
}

PageSwitcher::~PageSwitcher() {
  if (&StreamControl() == this) SetStreamControl(nullptr);
}

QWidget* PageSwitcher::PageWidget(int page) const {
  if (page == PAGE_DEMO) return pages_.demo;
  return DataLayout(page);
}

CDataLayout* PageSwitcher::DataLayout(int page) const {
  switch (page) {
    case PAGE_RAW:
      return pages_.raw;
    case PAGE_DIFF:
      return pages_.diff;
    case PAGE_OBSERVE:
      return pages_.observe;
    default:
      return nullptr;
  }
}

bool PageSwitcher::IsPageStopped(int page) const {
  if (page == PAGE_DEMO) return pages_.demo == nullptr || pages_.demo->IsStopped();
  const CDataLayout* layout = DataLayout(page);
  return layout == nullptr || layout->IsStopped();
}

void PageSwitcher::MarkStoppedOnUi(int page) {
  if (page == PAGE_DEMO) {
    // The demo's mark is its chain ending; no stop command goes to the chip
    // (the next page starts its own stream, and a removed device has none).
    if (pages_.demo != nullptr) pages_.demo->HaltStream();
  } else if (CDataLayout* layout = DataLayout(page)) {
    layout->SetStopped(true);
  }
}

void PageSwitcher::OnPageButton(int page) {
  if (!IsToggledPage(page) || PageWidget(page) == nullptr) return;
  currentPage_ = page;
  if (!IsPageStopped(page)) {
    // The running page: its stream ends, the page stays shown.
    if (page == PAGE_DEMO) {
      pages_.demo->StopStream();
    } else {
      DataLayout(page)->StopStream();
    }
    return;
  }
  for (int other : kToggledPages) {
    if (other != page) MarkStoppedOnUi(other);
  }
  if (pages_.area != nullptr) pages_.area->setCurrentWidget(PageWidget(page));
  if (page == PAGE_DEMO) {
    pages_.demo->ReadTouchData();
  } else {
    DataLayout(page)->StartStream();
  }
}

void PageSwitcher::ShowTestPage() {
  if (pages_.test == nullptr) return;
  StopDataStream();
  for (int page : kToggledPages) MarkStoppedOnUi(page);
  if (pages_.area != nullptr) pages_.area->setCurrentWidget(pages_.test);
  currentPage_ = PAGE_TEST;
}

void PageSwitcher::HaltAll() {
  for (int page : kToggledPages) MarkStoppedOnUi(page);
}

void PageSwitcher::RestartPage(int page) {
  UiBridge::call([this, page] {
    if (IsToggledPage(page) && IsPageStopped(page)) OnPageButton(page);
  });
}

void PageSwitcher::MarkPageStopped(int page) {
  UiBridge::call([this, page] { MarkStoppedOnUi(page); });
}

bool PageSwitcher::StopPageStream(int page) {
  bool wasStreaming = false;
  UiBridge::call([&] {
    CDataLayout* layout = DataLayout(page);
    if (layout == nullptr || layout->IsStopped()) return;
    layout->SetStopped(true);
    wasStreaming = true;
  });
  return wasStreaming;
}

void PageSwitcher::RestartPageStream(int page) {
  UiBridge::call([this, page] {
    CDataLayout* layout = DataLayout(page);
    if (layout == nullptr) return;
    layout->SetStopped(false);
    layout->RequestFrame();
  });
}
