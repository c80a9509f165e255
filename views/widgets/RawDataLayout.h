#pragma once
// The raw-data page: streams raw frames, keeps the last 16 in the shared raw
// frame stack with their per-node and panel statistics, and shows them in
// plain, colour-scale or manual-difference mode (context menu) with the
// statistics box. A double-click on a node with limit failures logs them.

#include <QPoint>
#include <mutex>

#include "views/RawStatistics.h"
#include "views/widgets/DataLayout.h"

class QMenu;
class RawGridRenderer;

class CRawDataLayout : public CDataLayout {
  Q_OBJECT

 public:
  // Context-menu commands.
  static constexpr int kCmdRawValues = 32837;         // "原始值"
  static constexpr int kCmdRawColourScale = 32876;    // "原始值（色阶）"
  static constexpr int kCmdManualDifference = 32834;  // "手动差值"

  // Works on the program's shared raw frame stack and node arrays.
  CRawDataLayout(DataFormatStore& store, ILogSink* log, QWidget* parent = nullptr);
  // Works on the given ones (guarded by nodesLock).
  CRawDataLayout(DataFormatStore& store, ILogSink* log, RawFrameStack& stack, NodeArrays& nodes,
                 std::mutex& nodesLock, QWidget* parent = nullptr);

  // Forgets the stacked frames first: a new stream starts new statistics.
  void StartStream() override;
  void ResetStatistics();
  // See RawGridRenderer::SetSingleFrameStats.
  void SetSingleFrameStats(bool single, bool failFlags);

  // Runs a context-menu command; false for an id that is none of them.
  bool RunCommand(int commandId);
  // The context menu (its actions carry the command ids' names).
  QMenu* CreateContextMenu(QWidget* parent);

  // The double-click: logs the limit failures of the node at `clientPoint`;
  // false when the point is outside the grid or the node has none.
  bool LogNodeFailures(QPoint clientPoint);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  RawGridRenderer& Raw();

  NodeArrays& nodes_;
  std::mutex& nodesLock_;
};
