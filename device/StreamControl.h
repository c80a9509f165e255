#pragma once
// The window's page switching as far as the core needs it: device arrival and
// removal restart or stop the current page, and a configuration send stops a
// streaming page for the length of the write. The window registers its
// implementation; until then (and after it passes nullptr) a do-nothing
// default answers: demo page, not busy, nothing streaming.
//
// Every member may be called from any thread (the noise view, the update
// sequence and the module test send configurations from their workers).

// The pages whose data stream follows the bridge.
enum DataPage : int { PAGE_DEMO = 0, PAGE_RAW = 1, PAGE_DIFF = 2, PAGE_OBSERVE = 3, PAGE_TEST = 4 };

// Raw, difference and observe: the pages that show a data stream.
inline bool IsDataStreamPage(int page) { return page >= PAGE_RAW && page <= PAGE_OBSERVE; }

class IStreamControl {
 public:
  virtual ~IStreamControl() = default;
  virtual int CurrentPage() const = 0;
  // A burn or a module test owns the device.
  virtual bool IsBusy() const = 0;
  // Runs the page's button again; a page marked stopped shows and restarts
  // its stream.
  virtual void RestartPage(int page) = 0;
  // Marks the page stopped, as its own button does.
  virtual void MarkPageStopped(int page) = 0;

  // Marks the page stopped when its stream is running and tells whether it
  // was; the caller then ends the chip's stream. One atomic step, so of two
  // callers only one owns the restart.
  virtual bool StopPageStream(int page) = 0;
  // The caller has started the chip's frames again after StopPageStream:
  // clears the page's stopped mark and asks its view for the next frame.
  virtual void RestartPageStream(int page) = 0;
};

// nullptr restores the default.
void SetStreamControl(IStreamControl* control);
IStreamControl& StreamControl();
