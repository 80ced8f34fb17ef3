#pragma once
// A one-line progress bar on standard error, shown only when it is a terminal.

class ProgressBar {
 public:
  explicit ProgressBar(long long pTotal);
  ~ProgressBar();  // ends the line
  void Update(long long pDone);

 private:
  long long mTotal;
  bool mShown;
};
