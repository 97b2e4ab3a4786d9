#pragma once
// The system's memory allocator, for input pins that have none from upstream.

#include <strmif.h>

HRESULT CreateMemoryAllocator(IMemAllocator** allocator);
