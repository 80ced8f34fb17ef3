#include "progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

ProgressBar::ProgressBar(long long pTotal)
    : mTotal(pTotal),
      mShown(pTotal > 1 && isatty(STDERR_FILENO)),
      mStart(std::chrono::steady_clock::now()) {}

ProgressBar::~ProgressBar() {
  if (mShown) std::fputc('\n', stderr);
}

void ProgressBar::Update(long long pDone) {
  if (!mShown) return;
  const int kWidth = 40;
  const long long lDone = std::min(pDone, mTotal);
  const int lFilled = static_cast<int>(kWidth * lDone / mTotal);
  const std::string lBar = std::string(lFilled, '#') + std::string(kWidth - lFilled, '.');
  const double lSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - mStart).count();
  const double lRate = lSeconds > 0.0 ? static_cast<double>(pDone) / lSeconds : 0.0;
  const long long lLeft =
      lRate > 0.0 ? static_cast<long long>(static_cast<double>(mTotal - lDone) / lRate + 0.5) : 0;
  std::fprintf(stderr, "\rrendering [%s] %lld/%lld  %.1f fps  %lld:%02lld left ", lBar.c_str(),
               pDone, mTotal, lRate, lLeft / 60, lLeft % 60);
  std::fflush(stderr);
}
