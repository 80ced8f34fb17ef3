#pragma once
// Output names for a run of frames: a printf-style pattern such as
// "out/frame_%04d.png" with exactly one integer conversion in its file name.

#include <optional>
#include <string>

class FramePattern {
 public:
  // The pattern, or nothing with pError set when it has no conversion, more
  // than one, one of another kind, or one in its directory part. Accepted:
  // %d or %i with an optional '0' or '-' flag and a width of up to two digits;
  // %% stands for a percent sign.
  static std::optional<FramePattern> Parse(const std::string& pPattern, std::string* pError);

  std::string Format(long long pFrame) const;

 private:
  std::string mPrefix;
  std::string mSuffix;
  char mFlag = '\0';  // '0', '-' or none
  int mWidth = 0;
};
