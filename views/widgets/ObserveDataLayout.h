#pragma once
// The "other data" page: streams the observe (reference) frames and shows
// each node's value in the plain grid.

#include "views/widgets/DataLayout.h"

class CObserveDataLayout : public CDataLayout {
  Q_OBJECT

 public:
  CObserveDataLayout(DataFormatStore& store, ILogSink* log, QWidget* parent = nullptr)
      : CDataLayout(DataKind::Observe, store, log, parent) {}
};
