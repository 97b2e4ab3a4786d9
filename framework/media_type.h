#pragma once
// Media-type records and the CMediaType value class over them.
//
// A record owns its format block (task memory) whenever the format size is
// not 0, and holds one reference on its owner object (pUnk) when that is set.
// CMediaType keeps to that rule through copy, assignment and destruction.

#include <windows.h>
#include <strmif.h>

// Copies every field; the copy gets its own format block and its own reference
// on the owner object. On a failed allocation the copy has no format block
// (size 0, null pointer) and E_OUTOFMEMORY is returned; it is still a record
// that FreeMediaType can take. A source that claims a format size but has no
// format block gives E_POINTER and the same empty copy.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// Frees what the record owns and leaves it without format block and owner.
void FreeMediaType(AM_MEDIA_TYPE& type);
// A task-memory copy of `source`, or null when anything could not be allocated.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);
// Frees a record made by CreateMediaType (or handed out in task memory).
void DeleteMediaType(AM_MEDIA_TYPE* type);
// Puts a record of unknown content into the default state without freeing
// anything (for out parameters that arrive uninitialised).
void InitMediaType(AM_MEDIA_TYPE* type);

class CMediaType : public AM_MEDIA_TYPE {
 public:
  CMediaType();
  CMediaType(const AM_MEDIA_TYPE& source);
  CMediaType(const CMediaType& source);
  ~CMediaType();

  CMediaType& operator=(const AM_MEDIA_TYPE& source);
  CMediaType& operator=(const CMediaType& source);

  // Replaces this type with a deep copy of `source`; E_OUTOFMEMORY when the
  // format block could not be copied.
  HRESULT Set(const AM_MEDIA_TYPE& source);
  // Frees what is owned and returns to the default state.
  void InitMediaType();

  // `partial` may leave major type, subtype or format type as GUID_NULL for
  // "any"; a named format type must match with its whole format block.
  bool MatchesPartial(const AM_MEDIA_TYPE* partial) const;
  bool IsPartiallySpecified() const;

  const GUID* Type() const { return &majortype; }
  const GUID* Subtype() const { return &subtype; }
  const GUID* FormatType() const { return &formattype; }
  ULONG FormatLength() const { return cbFormat; }
  BYTE* Format() const { return pbFormat; }
};
