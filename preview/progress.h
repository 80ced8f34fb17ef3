#pragma once
// A one-line progress bar on standard error, shown only when it is a
// terminal: frames done, frames a second, and the time left.

#include <chrono>

class ProgressBar {
 public:
  explicit ProgressBar(long long pTotal);
  ~ProgressBar();  // ends the line
  void Update(long long pDone);

 private:
  long long mTotal;
  bool mShown;
  std::chrono::steady_clock::time_point mStart;
};
