#include "core/parallel_jobs.h"

#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwell {
namespace {

// Every job runs exactly once whatever the number of workers, each on a worker number
// below the workers asked for (a worker's buffer is then its own).
TEST(RunParallelJobs, RunsEveryJobOnceOnTheWorkersAskedFor) {
  struct Case {
    std::size_t count;
    unsigned workers;
  };
  const Case cases[] = {{0, 1}, {0, 4}, {1, 4}, {5, 1}, {3, 8}, {1000, 2}, {1000, 7}};
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.count) + " jobs, " + std::to_string(c.workers) + " workers";
    std::vector<std::atomic<int>> runs(c.count);
    std::atomic<bool> workerInRange{true};
    RunParallelJobs(c.count, c.workers, [&](std::size_t i, unsigned worker) {
      runs[i].fetch_add(1);
      if (worker >= c.workers) workerInRange.store(false);
    });
    EXPECT_TRUE(workerInRange.load()) << name;
    for (std::size_t i = 0; i < c.count; ++i) ASSERT_EQ(runs[i].load(), 1) << name << ", job " << i;
  }
}

// A job that throws (out of memory, a bug) ends the call with that exception, after
// every thread has ended, and not with a terminated program.
TEST(RunParallelJobs, AJobsExceptionReachesTheCaller) {
  for (const unsigned workers : {1u, 2u, 4u}) {
    std::atomic<int> ran{0};
    try {
      RunParallelJobs(200, workers, [&](std::size_t i, unsigned) {
        ran.fetch_add(1);
        if (i == 17) throw std::runtime_error("job 17");
      });
      ADD_FAILURE() << workers << " workers: nothing thrown";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "job 17") << workers;
    }
    EXPECT_GE(ran.load(), 18) << workers;
  }
}

// A worker starts away from the processor of the thread starting it, on any other the
// process may use; with no other (or a processor that is not the process's) it is not
// held anywhere.
TEST(StartingProcessors, EveryAllowedProcessorButTheStartersOwn) {
  auto set = [](const std::vector<int>& cpus) {
    cpu_set_t s;
    CPU_ZERO(&s);
    for (const int cpu : cpus) CPU_SET(cpu, &s);
    return s;
  };
  struct Case {
    std::vector<int> allowed;
    int here;
    std::vector<int> expected;  // empty: started wherever the system puts it
  };
  const Case cases[] = {
      {{0, 1}, 0, {1}},          {{0, 1}, 1, {0}}, {{0, 2, 5, 7}, 5, {0, 2, 7}}, {{3}, 3, {}},
      {{0, 1}, 2, {}},   // started from a processor not allowed
      {{0, 1}, -1, {}},  // where it runs is unknown
      {{0, 1}, CPU_SETSIZE, {}},
  };
  for (const Case& c : cases) {
    const std::optional<cpu_set_t> got = StartingProcessors(set(c.allowed), c.here);
    ASSERT_EQ(got.has_value(), !c.expected.empty()) << "from " << c.here;
    if (got) {
      const cpu_set_t expected = set(c.expected);
      EXPECT_TRUE(CPU_EQUAL(&*got, &expected)) << "from " << c.here;
    }
  }
}

// Once started, a worker may run on every processor the process may: held away from its
// starter's processor for good, two workers on a two-processor machine would share one.
TEST(WorkerThread, RunsItsBodyFreeToRunAnywhereTheProcessMay) {
  cpu_set_t process;
  ASSERT_EQ(::sched_getaffinity(0, sizeof process, &process), 0);
  cpu_set_t seen;
  CPU_ZERO(&seen);
  bool ran = false;
  {
    WorkerThread worker([&] {
      ran = true;
      ::sched_getaffinity(0, sizeof seen, &seen);
    });
  }
  EXPECT_TRUE(ran);
  EXPECT_TRUE(CPU_EQUAL(&seen, &process))
      << CPU_COUNT(&seen) << " of " << CPU_COUNT(&process) << " processors";
}

TEST(WorkersFor, OneWorkerPerShareOfJobsUpToTheProcessors) {
  const unsigned processors = UsableProcessors();
  ASSERT_GE(processors, 1u);
  struct Case {
    std::size_t jobs, perWorker;
    unsigned expected;
  };
  const Case cases[] = {
      {0, 8, 1}, {7, 8, 1}, {16, 8, std::min(2u, processors)}, {100, 8, std::min(12u, processors)},
      {100000, 8, processors}, {3, 0, std::min(3u, processors)},
  };
  for (const Case& c : cases) EXPECT_EQ(WorkersFor(c.jobs, c.perWorker), c.expected) << c.jobs << "/" << c.perWorker;

  // A program held to one processor (taskset, a container's share) starts no second worker
  // to fight the first for it.
  cpu_set_t all, one;
  ASSERT_EQ(::sched_getaffinity(0, sizeof all, &all), 0);
  CPU_ZERO(&one);
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
    if (CPU_ISSET(cpu, &all)) {
      CPU_SET(cpu, &one);
      break;
    }
  }
  ASSERT_EQ(::sched_setaffinity(0, sizeof one, &one), 0);
  const unsigned held = UsableProcessors();
  const unsigned workers = WorkersFor(100000, 8);
  ::sched_setaffinity(0, sizeof all, &all);
  EXPECT_EQ(held, 1u);
  EXPECT_EQ(workers, 1u);
}

}  // namespace
}  // namespace tarnwell
