#include "frame_pattern.h"

#include <cctype>
#include <cstdio>

std::optional<FramePattern> FramePattern::Parse(const std::string& pPattern, std::string* pError) {
  const std::string lExpected =
      "expected a pattern with one %d in its file name, such as frame_%04d.png";
  FramePattern lPattern;
  bool lFound = false;
  std::string* lText = &lPattern.mPrefix;
  for (size_t i = 0; i < pPattern.size(); ++i) {
    if (pPattern[i] != '%') {
      *lText += pPattern[i];
      continue;
    }
    if (i + 1 < pPattern.size() && pPattern[i + 1] == '%') {
      *lText += '%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    char lFlag = '\0';
    if (j < pPattern.size() && (pPattern[j] == '0' || pPattern[j] == '-')) lFlag = pPattern[j++];
    int lWidth = 0;
    size_t lDigits = 0;
    while (j < pPattern.size() && std::isdigit(static_cast<unsigned char>(pPattern[j])) &&
           lDigits < 3) {
      lWidth = lWidth * 10 + (pPattern[j++] - '0');
      ++lDigits;
    }
    if (lFound || lDigits > 2 || j >= pPattern.size() ||
        (pPattern[j] != 'd' && pPattern[j] != 'i')) {
      if (pError) *pError = "'" + pPattern + "': " + lExpected;
      return std::nullopt;
    }
    lFound = true;
    lPattern.mFlag = lFlag;
    lPattern.mWidth = lWidth;
    lText = &lPattern.mSuffix;
    i = j;
  }
  // One directory for the whole run, checked before the first frame.
  if (!lFound || lPattern.mSuffix.find('/') != std::string::npos) {
    if (pError) *pError = "'" + pPattern + "': " + lExpected;
    return std::nullopt;
  }
  return lPattern;
}

std::string FramePattern::Format(long long pFrame) const {
  char lNumber[128];
  switch (mFlag) {
    case '0':
      std::snprintf(lNumber, sizeof(lNumber), "%0*lld", mWidth, pFrame);
      break;
    case '-':
      std::snprintf(lNumber, sizeof(lNumber), "%-*lld", mWidth, pFrame);
      break;
    default:
      std::snprintf(lNumber, sizeof(lNumber), "%*lld", mWidth, pFrame);
      break;
  }
  return mPrefix + lNumber + mSuffix;
}
