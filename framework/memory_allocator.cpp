#include "framework/memory_allocator.h"

#include <uuids.h>

HRESULT CreateMemoryAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  return CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                          reinterpret_cast<void**>(allocator));
}
