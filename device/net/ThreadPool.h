#pragma once
// A small pool of worker threads for the remote server link: the receive
// loop of each connection runs on it. Tasks run oldest first; 4 workers wait
// from the start, more are made on demand up to 10, and past that only while
// more than 300 tasks wait (the limit then grows by one each time). The pool
// never shrinks while it lives.
//
// A task is handed to a worker under the pool's lock together with a flag the
// worker waits for, so a wake-up can never be lost. The destructor waits for
// every worker: a task must be stoppable from outside (the remote link shuts
// its socket down first, which ends its receive loop).

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CThreadPool {
 public:
  using Task = std::function<void()>;

  static constexpr int kInitialThreads = 4;
  static constexpr int kMaxThreads = 10;
  // Past the limit a worker is still made while more tasks than this wait.
  static constexpr size_t kBacklogForExtraWorker = 300;
  // A destructor still waiting after this long says so (and keeps waiting:
  // letting a thread run on into freed memory would be worse).
  static constexpr std::chrono::seconds kStopWarning{5};

  CThreadPool();
  ~CThreadPool();
  CThreadPool(const CThreadPool&) = delete;
  CThreadPool& operator=(const CThreadPool&) = delete;

  // Queues a task and hands it to a free worker when there is one. Returns 1.
  int AddTask(Task task);

  // Inspection (tests).
  int WorkerCount() const;
  int BusyCount() const;
  int MaxThreads() const;
  size_t WaitingTasks() const;

 private:
  struct Worker {
    std::thread thread;
    std::condition_variable wake;
    Task task;
    bool assigned = false;  // task holds work the worker has not started
    bool busy = false;
    bool stop = false;
    bool ended = false;
  };

  // Under mutex_: hands waiting tasks to free workers, oldest first.
  void Dispatch();
  // Under mutex_: an idle worker, a new one, or null.
  Worker* GetIdleWorker(size_t waiting);
  Worker* MakeWorker();
  void WorkerThreadProc(Worker* worker);

  mutable std::mutex mutex_;
  std::condition_variable ended_;  // a worker thread has finished
  std::vector<std::unique_ptr<Worker>> workers_;
  std::deque<Task> tasks_;
  int maxThreads_ = kMaxThreads;
  bool stopping_ = false;
};
