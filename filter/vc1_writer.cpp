#include "filter/vc1_writer.h"

// Until the filter objects stand on the filter and pin bases, the module
// registers and loads but creates nothing.
CUnknown* CVc1Writer::CreateInstance(IUnknown*, HRESULT* result) {
  *result = E_NOTIMPL;
  return nullptr;
}
