#include "device/net/ThreadPool.h"

#include <cstdio>

CThreadPool::CThreadPool() {
  std::lock_guard lock(mutex_);
  for (int i = 0; i < kInitialThreads; ++i) MakeWorker();
  std::printf("线程池启动\n");
}

CThreadPool::~CThreadPool() {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  tasks_.clear();
  std::printf("线程池退出\n");
  for (auto& worker : workers_) {
    worker->stop = true;
    worker->wake.notify_one();
  }
  const auto allEnded = [&] {
    for (const auto& worker : workers_) {
      if (!worker->ended) return false;
    }
    return true;
  };
  if (!ended_.wait_for(lock, kStopWarning, allEnded)) {
    std::fprintf(stderr, "thread pool: a task has not ended after %lld s; still waiting\n",
                 static_cast<long long>(kStopWarning.count()));
    ended_.wait(lock, allEnded);
  }
  lock.unlock();
  for (auto& worker : workers_) worker->thread.join();
}

int CThreadPool::AddTask(Task task) {
  std::lock_guard lock(mutex_);
  if (stopping_ || !task) return 1;
  tasks_.push_back(std::move(task));
  Dispatch();
  return 1;
}

void CThreadPool::Dispatch() {
  while (!tasks_.empty()) {
    Worker* worker = GetIdleWorker(tasks_.size());
    // No worker: the task stays first in line for the next free one.
    if (worker == nullptr) return;
    worker->task = std::move(tasks_.front());
    tasks_.pop_front();
    worker->assigned = true;
    worker->busy = true;
    worker->wake.notify_one();
  }
}

CThreadPool::Worker* CThreadPool::GetIdleWorker(size_t waiting) {
  int busy = 0;
  for (auto& worker : workers_) {
    if (!worker->busy) return worker.get();
    ++busy;
  }
  if (busy < maxThreads_) return MakeWorker();
  if (waiting > kBacklogForExtraWorker) {
    ++maxThreads_;
    return MakeWorker();
  }
  return nullptr;
}

CThreadPool::Worker* CThreadPool::MakeWorker() {
  workers_.push_back(std::make_unique<Worker>());
  Worker* worker = workers_.back().get();
  worker->thread = std::thread([this, worker] { WorkerThreadProc(worker); });
  return worker;
}

void CThreadPool::WorkerThreadProc(Worker* worker) {
  std::unique_lock lock(mutex_);
  for (;;) {
    worker->wake.wait(lock, [&] { return worker->assigned || worker->stop; });
    if (worker->stop) break;
    // Run this task, then the oldest waiting ones, without going idle.
    while (worker->assigned) {
      Task task = std::move(worker->task);
      worker->task = nullptr;
      worker->assigned = false;
      lock.unlock();
      try {
        task();
      } catch (...) {
        // A failing task must not take the worker down with it.
      }
      task = nullptr;
      lock.lock();
      if (!worker->stop && !tasks_.empty()) {
        worker->task = std::move(tasks_.front());
        tasks_.pop_front();
        worker->assigned = true;
      }
    }
    worker->busy = false;
    if (worker->stop) break;
  }
  worker->ended = true;
  ended_.notify_all();
}

int CThreadPool::WorkerCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(workers_.size());
}

int CThreadPool::BusyCount() const {
  std::lock_guard lock(mutex_);
  int busy = 0;
  for (const auto& worker : workers_) busy += worker->busy ? 1 : 0;
  return busy;
}

int CThreadPool::MaxThreads() const {
  std::lock_guard lock(mutex_);
  return maxThreads_;
}

size_t CThreadPool::WaitingTasks() const {
  std::lock_guard lock(mutex_);
  return tasks_.size();
}
