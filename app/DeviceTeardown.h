#pragma once
// Takes the device link down off the UI thread: goes back from the TCP link
// to the bridge and closes the TCP link (a request still waiting on a
// networked device gets its close grace), stops any data stream, clears the
// device globals, then destroys the bridge device (its dispatcher drains the
// queue) and the digitizer device. A request stuck in the bridge (a chip
// that never answers, a long time-out) holds that up for as long as it
// lasts, so the window waits only a bounded time and the program may end
// while the teardown still runs.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class CHidDevice;
class CTcpLink;

class DeviceTeardown {
 public:
  // Starts at once. Either device, and the TCP link, may be null.
  DeviceTeardown(std::unique_ptr<CHidDevice> bridge, std::unique_ptr<CHidDevice> digitizer,
                 std::unique_ptr<CTcpLink> tcpLink = nullptr);
  // Joins a finished teardown; one still running is left to end on its own
  // (it owns everything it touches) and DeviceTeardownAbandoned() turns true.
  ~DeviceTeardown();
  DeviceTeardown(const DeviceTeardown&) = delete;
  DeviceTeardown& operator=(const DeviceTeardown&) = delete;

  // true once everything is destroyed; waits at most limit for it.
  bool WaitFor(std::chrono::milliseconds limit);
  bool Finished() const;

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::unique_ptr<CHidDevice> bridge;
    std::unique_ptr<CHidDevice> digitizer;
    std::unique_ptr<CTcpLink> tcpLink;
  };
  static void Run(const std::shared_ptr<State>& state);

  std::shared_ptr<State> state_;
  std::thread thread_;
};

// true when a teardown was left running. The process must then end without
// running static destructors: the request queue is still in use.
bool DeviceTeardownAbandoned();
