#include "render/format.h"

#include <cstdarg>
#include <cstdio>

int sprintf_s(char* pBuffer, size_t pSize, const char* pFormat, ...) {
  if (!pBuffer || pSize == 0) return -1;
  va_list lArguments;
  va_start(lArguments, pFormat);
  const int lWritten = std::vsnprintf(pBuffer, pSize, pFormat, lArguments);
  va_end(lArguments);
  if (lWritten < 0) pBuffer[0] = '\0';
  pBuffer[pSize - 1] = '\0';
  return lWritten;
}
