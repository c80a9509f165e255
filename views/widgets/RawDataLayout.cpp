#include "views/widgets/RawDataLayout.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <string>

#include "ui/ControlIds.h"
#include "views/DataFormatStore.h"
#include "views/widgets/GridRenderer.h"
#include "views/widgets/RawGridRenderer.h"
#include "views/widgets/ViewTransform.h"

CRawDataLayout::CRawDataLayout(DataFormatStore& store, ILogSink* log, QWidget* parent)
    : CRawDataLayout(store, log, GetRawFrameStack(), GetNodeArrays(), NodeArraysMutex(), parent) {}

CRawDataLayout::CRawDataLayout(DataFormatStore& store, ILogSink* log, RawFrameStack& stack,
                               NodeArrays& nodes, std::mutex& nodesLock, QWidget* parent)
    : CDataLayout(
          DataKind::Raw, store, log,
          std::make_unique<RawGridRenderer>(store.Format(DataKind::Raw), stack, nodes, nodesLock),
          parent),
      nodes_(nodes),
      nodesLock_(nodesLock) {}

RawGridRenderer& CRawDataLayout::Raw() { return static_cast<RawGridRenderer&>(Renderer()); }

void CRawDataLayout::StartStream() {
  ResetStatistics();
  CDataLayout::StartStream();
}

void CRawDataLayout::ResetStatistics() { Raw().ResetStatistics(); }

void CRawDataLayout::SetSingleFrameStats(bool single, bool failFlags) {
  Raw().SetSingleFrameStats(single, failFlags);
}

bool CRawDataLayout::RunCommand(int commandId) {
  switch (commandId) {
    case kCmdRawValues:
      Raw().SelectPlain(false);
      break;
    case kCmdRawColourScale:
      Raw().SelectPlain(true);
      break;
    case kCmdManualDifference:
      Raw().TakeReference();
      break;
    default:
      return false;
  }
  Redraw();
  return true;
}

QMenu* CRawDataLayout::CreateContextMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  const struct {
    int id;
    QString name;
    QString text;
  } items[] = {
      {kCmdRawValues, CONTROL_NAME(ID_RAW_VALUES), QStringLiteral("原始值")},
      {kCmdRawColourScale, CONTROL_NAME(ID_RAW_COLOUR_SCALE), QStringLiteral("原始值（色阶）")},
      {kCmdManualDifference, CONTROL_NAME(ID_MANUAL_DIFFERENCE), QStringLiteral("手动差值")},
  };
  for (const auto& item : items) {
    QAction* action = menu->addAction(item.text);
    action->setObjectName(item.name);
    const int id = item.id;
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
  }
  return menu;
}

void CRawDataLayout::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateContextMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

bool CRawDataLayout::LogNodeFailures(QPoint clientPoint) {
  const std::shared_ptr<const RenderedPicture> shown = Picture();
  if (!shown) return false;
  const QPoint p = clientPoint + ClampScroll(ScrollOffset(), size(), shown->picture.size());
  const int row = BandIndex(shown->rowLines, p.y());
  const int col = BandIndex(shown->colLines, p.x());
  if (row < 0 || col < 0) return false;
  const size_t node = NodeIndex(shown->rows, row, col);
  if (node >= NodeArrays::kNodes) return false;
  uint16_t flags = 0;
  {
    std::lock_guard lock(nodesLock_);
    flags = nodes_.NodeFailFlags[node];
  }
  if (flags == 0) return false;
  if (Log() != nullptr) {
    Log()->AddLog(
        "Drv" + std::to_string(col) + ",Sen" + std::to_string(row) + ":" + NodeFailText(flags),
        LOG_INFO);
  }
  return true;
}

void CRawDataLayout::mouseDoubleClickEvent(QMouseEvent* event) {
  LogNodeFailures(event->position().toPoint());
  event->accept();
}
