#pragma once
// Image sequences named by a pattern: plate.%04d.png, plate.%d.png or plate.####.dpx.

#include <string>

namespace media {

// Whether the file name holds a frame-number pattern (%d, %0Nd, or a run of #).
bool IsSequencePattern(const std::string& pPath);

struct SequenceOnDisk {
  std::string pattern;  // for libavformat's image2 reader: printf style, other % doubled
  long long first = 0;  // the lowest number present on disk
  long long count = 0;  // files numbered first, first + 1, ... without a gap
};

// Looks for the files the pattern names. False when none is there.
bool FindSequence(const std::string& pPath, SequenceOnDisk* pSequence);

}  // namespace media
