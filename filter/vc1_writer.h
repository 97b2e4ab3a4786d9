#pragma once
// CVc1Writer: Dravik's COM object, the one the class factory creates.

#include <windows.h>

#include "framework/com_object.h"

class CVc1Writer {
 public:
  // The class table's creation function.
  static CUnknown* CreateInstance(IUnknown* outer, HRESULT* result);
};
