#pragma once
// Copies text into a fixed buffer as valid UTF-8: malformed bytes are dropped,
// and a sequence that does not fit is left out whole. Always terminates.

#include <cstddef>

void CopyValidUtf8(const char* pText, char* pOut, size_t pOutSize);
