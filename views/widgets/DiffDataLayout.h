#pragma once
// The difference page: streams the difference frames and shows each node's
// value in the plain grid.

#include "views/widgets/DataLayout.h"

class CDiffDataLayout : public CDataLayout {
  Q_OBJECT

 public:
  CDiffDataLayout(DataFormatStore& store, ILogSink* log, QWidget* parent = nullptr)
      : CDataLayout(DataKind::Diff, store, log, parent) {}
};
