#pragma once
// Typed values read from a fuzzer's bytes. Once the bytes run out every read
// gives zero, so any input decodes to some sequence of operations.

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace vexafuzz {

class FuzzInput {
 public:
  FuzzInput(const uint8_t* pData, size_t pSize) : mData(pData), mSize(pSize) {}

  bool Empty() const { return mAt >= mSize; }

  uint8_t Byte() { return mAt < mSize ? mData[mAt++] : 0; }
  bool Bool() { return Byte() & 1; }

  template <class tValue>
  tValue Raw() {
    unsigned char lBytes[sizeof(tValue)] = {};
    for (unsigned char& lByte : lBytes) lByte = Byte();
    tValue lValue;
    std::memcpy(&lValue, lBytes, sizeof(lValue));
    return lValue;
  }

  // 0 to pCount - 1; pCount must be positive.
  size_t Below(size_t pCount) { return Raw<uint16_t>() % pCount; }

  // Half the time a boundary value, otherwise anything.
  int Int() {
    static const int kEdges[] = {INT_MIN, INT_MIN + 1, -2000000000, -100000,     -61,    -1,
                                 0,       1,           23,          59,          60,     99,
                                 100,     1000,        2000000000,  INT_MAX - 1, INT_MAX};
    if (Bool()) return kEdges[Below(sizeof(kEdges) / sizeof(kEdges[0]))];
    return Raw<int>();
  }

  long long Wide() {
    static const long long kEdges[] = {LLONG_MIN,
                                       LLONG_MIN + 1,
                                       LLONG_MAX,
                                       LLONG_MAX - 1,
                                       INT_MIN - 1LL,
                                       INT_MAX + 1LL,
                                       -100000000LL,
                                       100000000LL,
                                       -1,
                                       0,
                                       1,
                                       300};
    if (Bool()) return kEdges[Below(sizeof(kEdges) / sizeof(kEdges[0]))];
    return Raw<long long>();
  }

  double Double() {
    static const double kEdges[] = {
        NAN,    -NAN,  INFINITY, -INFINITY, DBL_MAX, -DBL_MAX, DBL_MIN, -0.0, 0.0,   1e300, -1e300,
        3.5e38, 2.2e9, -2.2e9,   1e-300,    0.5,     1.0,      3.0,     24.0, 29.97, 180.0, 1e6};
    switch (Byte() % 3) {
      case 0:
        return kEdges[Below(sizeof(kEdges) / sizeof(kEdges[0]))];
      case 1:
        return static_cast<double>(Raw<int16_t>()) / 8.0;
      default:
        return Raw<double>();
    }
  }

  // Bytes of the input (any, invalid UTF-8 included), a name from pNames, or
  // a long run as a user might paste: up to 10,000 characters.
  std::string Text(const char* const* pNames = nullptr, size_t pNameCount = 0) {
    const uint8_t lChoice = Byte() % 8;
    if (lChoice == 0 && pNameCount > 0) return pNames[Below(pNameCount)];
    if (lChoice == 1) {
      std::string lPattern = Short();
      if (lPattern.empty()) lPattern = "W";
      const size_t lLength = Below(10001);
      std::string lText;
      while (lText.size() < lLength) lText += lPattern;
      lText.resize(lLength);
      return lText;
    }
    return Short();
  }

 private:
  std::string Short() {
    const size_t lLength = Byte() % 48;
    std::string lText;
    for (size_t i = 0; i < lLength && !Empty(); ++i) lText += static_cast<char>(Byte());
    return lText;
  }

  const uint8_t* mData;
  size_t mSize;
  size_t mAt = 0;
};

}  // namespace vexafuzz
