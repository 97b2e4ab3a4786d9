#include "framework/media_type.h"

#include <cstring>

namespace {

void SetDefaults(AM_MEDIA_TYPE& type) {
  std::memset(&type, 0, sizeof type);
  type.bFixedSizeSamples = TRUE;
  type.lSampleSize = 1;
}

}  // namespace

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
  if (!target || !source) return E_POINTER;
  // A record copied onto itself already owns what it holds; copying would
  // orphan its format block.
  if (target == source) return S_OK;
  *target = *source;
  HRESULT hr = S_OK;
  if (source->cbFormat != 0 && !source->pbFormat) {
    // A size without a block: there is nothing to copy from.
    target->cbFormat = 0;
    hr = E_POINTER;
  } else if (source->cbFormat != 0) {
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
    if (target->pbFormat) {
      std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
    } else {
      // The source's pointer must not survive in the copy: freeing both would
      // free one block twice.
      target->cbFormat = 0;
      hr = E_OUTOFMEMORY;
    }
  }
  if (target->pUnk) target->pUnk->AddRef();
  return hr;
}

void FreeMediaType(AM_MEDIA_TYPE& type) {
  if (type.cbFormat != 0) {
    CoTaskMemFree(type.pbFormat);
    type.cbFormat = 0;
    type.pbFormat = nullptr;
  }
  if (type.pUnk) {
    IUnknown* owner = type.pUnk;
    type.pUnk = nullptr;
    owner->Release();
  }
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
  if (!source) return nullptr;
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!type) return nullptr;
  if (FAILED(CopyMediaType(type, source))) {
    DeleteMediaType(type);
    return nullptr;
  }
  return type;
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return;
  FreeMediaType(*type);
  CoTaskMemFree(type);
}

void InitMediaType(AM_MEDIA_TYPE* type) {
  if (type) SetDefaults(*type);
}

CMediaType::CMediaType() : AM_MEDIA_TYPE() {
  SetDefaults(*this);
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& source) : AM_MEDIA_TYPE() {
  CopyMediaType(this, &source);
}

CMediaType::CMediaType(const CMediaType& source) : AM_MEDIA_TYPE() {
  CopyMediaType(this, &source);
}

CMediaType::~CMediaType() {
  FreeMediaType(*this);
}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& source) {
  Set(source);
  return *this;
}

CMediaType& CMediaType::operator=(const CMediaType& source) {
  Set(source);
  return *this;
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& source) {
  if (&source == static_cast<const AM_MEDIA_TYPE*>(this)) return S_OK;
  FreeMediaType(*this);
  return FAILED(CopyMediaType(this, &source)) ? E_OUTOFMEMORY : S_OK;
}

void CMediaType::InitMediaType() {
  FreeMediaType(*this);
  SetDefaults(*this);
}

bool CMediaType::MatchesPartial(const AM_MEDIA_TYPE* partial) const {
  if (!partial) return false;
  if (partial->majortype != GUID_NULL && partial->majortype != majortype) return false;
  if (partial->subtype != GUID_NULL && partial->subtype != subtype) return false;
  if (partial->formattype != GUID_NULL) {
    if (partial->formattype != formattype || partial->cbFormat != cbFormat) return false;
    if (cbFormat != 0 && (!pbFormat || !partial->pbFormat ||
                          std::memcmp(pbFormat, partial->pbFormat, cbFormat) != 0)) {
      return false;
    }
  }
  return true;
}

bool CMediaType::IsPartiallySpecified() const {
  return majortype == GUID_NULL || formattype == GUID_NULL;
}
