#include "progress.h"

#include <unistd.h>

#include <cstdio>
#include <string>

ProgressBar::ProgressBar(long long pTotal)
    : mTotal(pTotal), mShown(pTotal > 1 && isatty(STDERR_FILENO)) {}

ProgressBar::~ProgressBar() {
  if (mShown) std::fputc('\n', stderr);
}

void ProgressBar::Update(long long pDone) {
  if (!mShown) return;
  const int kWidth = 40;
  const int lFilled = static_cast<int>(kWidth * pDone / mTotal);
  const std::string lBar = std::string(lFilled, '#') + std::string(kWidth - lFilled, '.');
  std::fprintf(stderr, "\rrendering [%s] %lld/%lld", lBar.c_str(), pDone, mTotal);
  std::fflush(stderr);
}
