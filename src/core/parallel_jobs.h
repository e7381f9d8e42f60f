// Independent jobs spread over the processors for the length of one call: a table of
// many raw files is analysed on every processor the program may use, and the caller gets
// back control only when every job is done. Nothing outlives the call, so the program's
// state is still only ever changed by one thread.
#pragma once

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <vector>

namespace tarnwell {

/// The processors this process may run on (its affinity, as taskset or a container
/// sets it), at least 1.
unsigned UsableProcessors();

/// How many workers `jobs` jobs are worth: one per `jobsPerWorker` jobs, at most one per
/// usable processor, at least 1. Below that many jobs a thread costs more to start than
/// it saves.
inline unsigned WorkersFor(std::size_t jobs, std::size_t jobsPerWorker) {
  const std::size_t wanted = jobsPerWorker == 0 ? jobs : jobs / jobsPerWorker;
  return static_cast<unsigned>(std::clamp<std::size_t>(wanted, 1, UsableProcessors()));
}

/// Where a worker started from processor `here` should start: every processor of
/// `allowed` but `here`. None where that leaves none, or `here` is unknown (negative) or
/// not allowed; the thread then starts wherever the system puts it.
std::optional<cpu_set_t> StartingProcessors(const cpu_set_t& allowed, int here);

/// A worker thread that starts on another processor than the thread starting it, then
/// may run anywhere the process may. Left to itself the system tends to queue a new
/// thread behind its busy parent while the other processors idle, and moves it only at
/// its next balancing, milliseconds later: longer than a whole table's analysis.
class WorkerThread {
 public:
  /// Starts `body`, which must not throw; throws std::system_error where no thread can
  /// be had.
  explicit WorkerThread(std::function<void()> body);
  /// Waits for the body to end.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

 private:
  pthread_t thread_{};
};

/// Runs job(index, worker) for every index in 0..count-1, each once, on `workers`
/// threads (the calling thread is worker 0; worker numbers are below `workers`, so each
/// may own a buffer), and returns when all are done. A job must not touch what another
/// job writes. Where a thread cannot be started its share runs on the others. The first
/// exception a job throws is thrown here after every thread has ended; the jobs not yet
/// started then do not run.
template <typename Job>
void RunParallelJobs(std::size_t count, unsigned workers, Job&& job) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::exception_ptr firstError;
  std::mutex errorLock;
  auto work = [&](unsigned worker) {
    try {
      for (std::size_t i = next.fetch_add(1); i < count && !failed.load(); i = next.fetch_add(1)) job(i, worker);
    } catch (...) {
      const std::lock_guard<std::mutex> hold(errorLock);
      if (!firstError) firstError = std::current_exception();
      failed.store(true);
    }
  };
  std::vector<std::unique_ptr<WorkerThread>> threads;
  const unsigned extra = std::min<std::size_t>(workers, count) > 1
                             ? static_cast<unsigned>(std::min<std::size_t>(workers, count)) - 1
                             : 0;
  threads.reserve(extra);
  for (unsigned w = 1; w <= extra; ++w) {
    try {
      threads.push_back(std::make_unique<WorkerThread>([&work, w] { work(w); }));
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones running take the rest
    }
  }
  work(0);
  threads.clear();  // each waits for its worker
  if (firstError) std::rethrow_exception(firstError);
}

}  // namespace tarnwell
