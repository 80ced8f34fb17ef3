#include "footage_sequence.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <system_error>

namespace media {
namespace {

struct Pattern {
  std::string folder;  // with its trailing separator, or empty
  std::string prefix;  // the file name around the number, as on disk
  std::string suffix;
  int width = 0;  // digits zero-padded to; 0 for none
  bool found = false;
};

// printf's "%%" is a literal '%' on disk.
std::string Unescape(const std::string& pText) {
  std::string result;
  for (size_t i = 0; i < pText.size(); ++i) {
    result += pText[i];
    if (pText[i] == '%' && i + 1 < pText.size() && pText[i + 1] == '%') ++i;
  }
  return result;
}

Pattern Parse(const std::string& pPath) {
  Pattern pattern;
  const size_t slash = pPath.find_last_of('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  pattern.folder = pPath.substr(0, nameStart);
  const std::string name = pPath.substr(nameStart);
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '%') {
      if (i + 1 < name.size() && name[i + 1] == '%') {
        ++i;
        continue;
      }
      size_t end = i + 1;
      while (end < name.size() && std::isdigit(static_cast<unsigned char>(name[end]))) ++end;
      if (end >= name.size() || name[end] != 'd') continue;
      const std::string digits = name.substr(i + 1, end - i - 1);
      if (digits.size() > 2) continue;
      pattern.width = digits.empty() ? 0 : std::atoi(digits.c_str());
      pattern.prefix = Unescape(name.substr(0, i));
      pattern.suffix = Unescape(name.substr(end + 1));
      pattern.found = true;
      return pattern;
    }
    if (name[i] == '#') {
      size_t end = i;
      while (end < name.size() && name[end] == '#') ++end;
      if (end - i > 18) return pattern;
      pattern.width = static_cast<int>(end - i);
      pattern.prefix = name.substr(0, i);
      pattern.suffix = name.substr(end);
      pattern.found = true;
      return pattern;
    }
  }
  return pattern;
}

}  // namespace

bool IsSequencePattern(const std::string& pPath) { return Parse(pPath).found; }

bool FindSequence(const std::string& pPath, SequenceOnDisk* pSequence) {
  const Pattern pattern = Parse(pPath);
  if (!pattern.found) return false;
  const std::filesystem::path folder = pattern.folder.empty() ? "." : pattern.folder;
  std::error_code error;
  std::set<long long> numbers;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() <= pattern.prefix.size() + pattern.suffix.size() ||
        name.compare(0, pattern.prefix.size(), pattern.prefix) != 0 ||
        name.compare(name.size() - pattern.suffix.size(), pattern.suffix.size(), pattern.suffix) !=
            0) {
      continue;
    }
    const std::string digits = name.substr(
        pattern.prefix.size(), name.size() - pattern.prefix.size() - pattern.suffix.size());
    if (digits.size() > 18) continue;
    bool allDigits = true;
    for (char c : digits) allDigits = allDigits && std::isdigit(static_cast<unsigned char>(c));
    if (!allDigits) continue;
    // The number must print back as it is written, so plate.%04d matches 0007, not 07 or 7.
    const long long number = std::atoll(digits.c_str());
    char printed[32];
    std::snprintf(printed, sizeof printed, "%0*lld", pattern.width, number);
    if (digits != printed) continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    numbers.insert(number);
  }
  if (numbers.empty()) return false;
  pSequence->numbers.assign(numbers.begin(), numbers.end());
  pSequence->folder = pattern.folder;
  pSequence->prefix = pattern.prefix;
  pSequence->suffix = pattern.suffix;
  pSequence->width = pattern.width;
  return true;
}

std::string SequenceOnDisk::PathOf(long long pNumber) const {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%0*lld", width, pNumber);
  return folder + prefix + digits + suffix;
}

}  // namespace media
