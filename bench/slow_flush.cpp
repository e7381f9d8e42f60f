// Preloaded into a benchmark (LD_PRELOAD), it makes every fsync and fdatasync wait a further
// SLOW_FLUSH_US microseconds (1000 unless set) after the real call, as a disk does whose cache
// flush reaches the medium. Virtual machines often answer a flush at once; with this the
// benchmarks show what the tool costs on a disk that waits, without one at hand. The tool
// started by analyse_process_bench inherits the preload, so both sides wait alike.
#include <dlfcn.h>

#include <cstdlib>
#include <ctime>

namespace {

void WaitForTheDevice() {
  static const long micros = [] {
    const char* text = std::getenv("SLOW_FLUSH_US");
    return text != nullptr ? std::strtol(text, nullptr, 10) : 1000L;
  }();
  timespec wait{micros / 1000000, (micros % 1000000) * 1000};
  while (nanosleep(&wait, &wait) != 0) {
  }
}

template <typename Call>
Call Next(const char* name) {
  return reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int fsync(int fd) {
  static const auto real = Next<int (*)(int)>("fsync");
  const int result = real(fd);
  WaitForTheDevice();
  return result;
}

extern "C" int fdatasync(int fd) {
  static const auto real = Next<int (*)(int)>("fdatasync");
  const int result = real(fd);
  WaitForTheDevice();
  return result;
}
