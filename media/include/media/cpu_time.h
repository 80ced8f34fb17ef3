#pragma once
// CPU time used by the calling thread, for telling where a burn-in's time goes
// stage by stage (each stage runs on a thread of its own).

#include <ctime>

namespace media {

inline double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

}  // namespace media
