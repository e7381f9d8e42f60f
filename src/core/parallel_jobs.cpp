#include "core/parallel_jobs.h"

#include <sched.h>

namespace tarnwell {

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

}  // namespace tarnwell
