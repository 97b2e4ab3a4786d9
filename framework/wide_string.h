#pragma once
// Zero-terminated 16-bit character strings, compared as unsigned 16-bit
// values. A null source or operand counts as the empty string.

#include <windows.h>

#include <cstddef>

// Copies up to and including the terminating zero; returns `target`.
WCHAR* WideCopy(WCHAR* target, const WCHAR* source);
// Copies at most capacity - 1 characters and always terminates; a capacity of
// 0 writes nothing. Returns `target`.
WCHAR* WideCopyBounded(WCHAR* target, const WCHAR* source, std::size_t capacity);
// Negative, 0 or positive as `first` orders before, with or after `second`.
int WideCompare(const WCHAR* first, const WCHAR* second);
// Characters before the terminating zero.
std::size_t WideLength(const WCHAR* text);
// A task-memory copy of `source` for an out parameter that the caller frees
// with CoTaskMemFree. *out is null on E_OUTOFMEMORY.
HRESULT WideDuplicateToTaskMemory(const WCHAR* source, WCHAR** out);
