#pragma once
// Image sequences named by a pattern: plate.%04d.png, plate.%d.png or plate.####.dpx.

#include <string>
#include <vector>

namespace media {

// Whether the file name holds a frame-number pattern (%d, %0Nd, or a run of #).
bool IsSequencePattern(const std::string& pPath);

struct SequenceOnDisk {
  std::vector<long long> numbers;  // every number present on disk, in order
  std::string folder;              // with its trailing separator, or empty
  std::string prefix;              // the file name around the number, as on disk
  std::string suffix;
  int width = 0;  // digits zero-padded to; 0 for none

  // The file of frame pNumber, whether or not it is on disk.
  std::string PathOf(long long pNumber) const;
};

// Looks for the files the pattern names. False when none is there.
bool FindSequence(const std::string& pPath, SequenceOnDisk* pSequence);

}  // namespace media
