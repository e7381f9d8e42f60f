#include "core/parallel_jobs.h"

#include <thread>

namespace tarnwell {

namespace {

struct WorkerStart {
  std::function<void()> body;
  cpu_set_t allowed;
  bool placed = false;  // started away from its parent: free to move again first
};

void* RunWorker(void* argument) {
  const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(argument));
  if (start->placed) ::sched_setaffinity(0, sizeof start->allowed, &start->allowed);
  start->body();
  return nullptr;
}

}  // namespace

unsigned UsableProcessors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0) {
    const int count = CPU_COUNT(&set);
    if (count > 0) return static_cast<unsigned>(count);
  }
  const unsigned known = std::thread::hardware_concurrency();
  return known > 0 ? known : 1;
}

std::optional<cpu_set_t> StartingProcessors(const cpu_set_t& allowed, int here) {
  if (here < 0 || here >= CPU_SETSIZE || !CPU_ISSET(here, &allowed)) return std::nullopt;
  cpu_set_t others = allowed;
  CPU_CLR(here, &others);
  if (CPU_COUNT(&others) == 0) return std::nullopt;
  return others;
}

WorkerThread::WorkerThread(std::function<void()> body) {
  auto start = std::make_unique<WorkerStart>();
  start->body = std::move(body);
  pthread_attr_t attributes;
  if (const int error = ::pthread_attr_init(&attributes); error != 0)
    throw std::system_error(error, std::generic_category(), "cannot start a worker thread");
  CPU_ZERO(&start->allowed);
  if (::sched_getaffinity(0, sizeof start->allowed, &start->allowed) == 0) {
    if (const auto others = StartingProcessors(start->allowed, ::sched_getcpu()))
      start->placed = ::pthread_attr_setaffinity_np(&attributes, sizeof *others, &*others) == 0;
  }
  const int error = ::pthread_create(&thread_, &attributes, RunWorker, start.get());
  ::pthread_attr_destroy(&attributes);
  if (error != 0) throw std::system_error(error, std::generic_category(), "cannot start a worker thread");
  start.release();  // the thread's own now
}

WorkerThread::~WorkerThread() {
  ::pthread_join(thread_, nullptr);
}

}  // namespace tarnwell
