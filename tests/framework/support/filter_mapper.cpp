#include "support/filter_mapper.h"

#include <dshow.h>

#include "framework/com_ptr.h"

using framework::ComPtr;

std::map<std::wstring, std::wstring> MatchingFilters(const MatchQuery& query) {
  std::map<std::wstring, std::wstring> found;
  ComPtr<IFilterMapper2> mapper;
  if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                              mapper.put_void())))
    return found;
  const GUID types[2] = {query.major, query.subtype};
  ComPtr<IEnumMoniker> monikers;
  if (mapper->EnumMatchingFilters(monikers.put(), 0, FALSE, query.merit, TRUE, 1, types, nullptr,
                                  nullptr, query.render, query.outputNeeded, 0, nullptr, nullptr,
                                  nullptr) != S_OK)
    return found;
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.put(), nullptr) == S_OK) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.put_void()))) continue;
    VARIANT id, name;
    VariantInit(&id);
    VariantInit(&name);
    if (SUCCEEDED(bag->Read(L"CLSID", &id, nullptr)) && id.vt == VT_BSTR) {
      const bool named = SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR;
      found[id.bstrVal] = named ? name.bstrVal : L"";
    }
    VariantClear(&id);
    VariantClear(&name);
  }
  return found;
}
