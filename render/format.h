#pragma once
// The element's bounded printf: never writes more than pSize bytes and always
// terminates (an empty text when pSize allows nothing else).

#include <cstddef>

int sprintf_s(char* pBuffer, size_t pSize, const char* pFormat, ...)
    __attribute__((format(printf, 3, 4)));
