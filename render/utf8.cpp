#include "render/utf8.h"

namespace {

bool IsContinuation(unsigned char pByte) { return (pByte & 0xC0u) == 0x80u; }

// Length of the valid sequence starting at pText, or 0 when it is malformed.
size_t ValidSequenceLength(const unsigned char* pText) {
  const unsigned char lLead = pText[0];
  if (lLead < 0x80u) return 1;
  size_t lLength = 0;
  unsigned long lCode = 0;
  if (lLead >= 0xC2u && lLead <= 0xDFu) {
    lLength = 2;
    lCode = lLead & 0x1Fu;
  } else if (lLead >= 0xE0u && lLead <= 0xEFu) {
    lLength = 3;
    lCode = lLead & 0x0Fu;
  } else if (lLead >= 0xF0u && lLead <= 0xF4u) {
    lLength = 4;
    lCode = lLead & 0x07u;
  } else {
    return 0;
  }
  // A terminator is not a continuation byte, so this never reads past it.
  for (size_t i = 1; i < lLength; ++i) {
    if (!IsContinuation(pText[i])) return 0;
    lCode = (lCode << 6) | (pText[i] & 0x3Fu);
  }
  if ((lLength == 3 && lCode < 0x800u) || (lLength == 4 && lCode < 0x10000u)) return 0;
  if (lCode > 0x10FFFFu || (lCode >= 0xD800u && lCode <= 0xDFFFu)) return 0;
  return lLength;
}

}  // namespace

void CopyValidUtf8(const char* pText, char* pOut, size_t pOutSize) {
  if (pOutSize == 0) return;
  size_t lOut = 0;
  const unsigned char* lIn = reinterpret_cast<const unsigned char*>(pText ? pText : "");
  while (*lIn != 0) {
    const size_t lLength = ValidSequenceLength(lIn);
    if (lLength == 0) {
      ++lIn;
      continue;
    }
    if (lOut + lLength >= pOutSize) break;
    for (size_t i = 0; i < lLength; ++i) pOut[lOut++] = static_cast<char>(lIn[i]);
    lIn += lLength;
  }
  pOut[lOut] = '\0';
}
