#include "moduletest/widgets/samples/SampleLayout.h"

#include "moduletest/samples/SampleStore.h"
#include "views/DataFormatStore.h"

CSampleLayout::CSampleLayout(DataFormatStore& formats, ILogSink* log, SampleStore& samples,
                             RawFrameStack& stack, NodeArrays& nodes, std::mutex& nodesLock,
                             QWidget* parent)
    : CRawDataLayout(formats, log, stack, nodes, nodesLock, parent),
      formats_(formats),
      samples_(samples) {
  SetFrameTap([this](const FramePayload& frame) {
    samples_.AppendFrame(frame.bytes.data(), frame.bytes.size());
    framesReceived_.fetch_add(1);
  });
}

CSampleLayout::~CSampleLayout() { SetFrameTap({}); }

void CSampleLayout::StartStream() {
  SetSingleFrameStats(false, true);
  CRawDataLayout::StartStream();
}

bool CSampleLayout::ReadSampleFrame(bool next) {
  const DataFormat format = formats_.Format(DataKind::Raw);
  if (!CheckFormat(DataKind::Raw, format).empty()) return false;
  FramePayload frame;
  frame.format = format;
  frame.bytes.resize(format.NodeCount() * format.UnitBytes());
  const bool read =
      next ? samples_.ReadFrame(frame.bytes.data(), static_cast<int32_t>(frame.bytes.size()))
           : samples_.FrameLength() == static_cast<int32_t>(frame.bytes.size()) &&
                 samples_.StepBack(frame.bytes.data());
  if (!read) return false;
  SetSingleFrameStats(true, true);
  ShowFrame(std::move(frame), kShowWait);
  return true;
}

bool CSampleLayout::ShowLimits(const std::vector<int32_t>& values, int32_t rows, int32_t cols) {
  FramePayload frame;
  frame.format.address = formats_.Format(DataKind::Raw).address;
  frame.format.rows = rows;
  frame.format.cols = cols;
  frame.format.unit = 2;
  frame.format.isSigned = 0;
  frame.format.littleEndian = 1;
  if (frame.format.NodeCount() != values.size() || values.empty()) return false;
  frame.bytes.reserve(values.size() * 4);
  for (int32_t v : values) {
    const auto u = static_cast<uint32_t>(v);
    for (int b = 0; b < 4; ++b) frame.bytes.push_back(static_cast<uint8_t>(u >> (8 * b)));
  }
  // A limit array is one frame of its own, not a member of a stream.
  SetSingleFrameStats(true, false);
  return ShowFrame(std::move(frame), kShowWait);
}
