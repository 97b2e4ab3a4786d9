#include "framework/wide_string.h"

#include <objbase.h>

namespace {
const WCHAR kEmpty[] = {0};
const WCHAR* OrEmpty(const WCHAR* text) { return text ? text : kEmpty; }
}  // namespace

WCHAR* WideCopy(WCHAR* target, const WCHAR* source) {
  source = OrEmpty(source);
  WCHAR* out = target;
  while ((*out++ = *source++) != 0) {
  }
  return target;
}

WCHAR* WideCopyBounded(WCHAR* target, const WCHAR* source, std::size_t capacity) {
  if (capacity == 0) return target;
  source = OrEmpty(source);
  std::size_t i = 0;
  for (; i + 1 < capacity; ++i) {
    target[i] = source[i];
    if (source[i] == 0) return target;
  }
  target[i] = 0;
  return target;
}

int WideCompare(const WCHAR* first, const WCHAR* second) {
  first = OrEmpty(first);
  second = OrEmpty(second);
  for (;; ++first, ++second) {
    const int a = static_cast<unsigned short>(*first);
    const int b = static_cast<unsigned short>(*second);
    if (a != b) return a - b;
    if (a == 0) return 0;
  }
}

std::size_t WideLength(const WCHAR* text) {
  text = OrEmpty(text);
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

HRESULT WideDuplicateToTaskMemory(const WCHAR* source, WCHAR** out) {
  if (!out) return E_POINTER;
  const std::size_t characters = WideLength(source) + 1;
  *out = static_cast<WCHAR*>(CoTaskMemAlloc(characters * sizeof(WCHAR)));
  if (!*out) return E_OUTOFMEMORY;
  WideCopy(*out, source);
  return S_OK;
}
