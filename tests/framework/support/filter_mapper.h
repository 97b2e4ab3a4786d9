#pragma once
// What the system's filter registry lists, as the newer filter mapper finds
// it for an input pin: for the registration tests of the framework and of
// Dravik.

#include <windows.h>
#include <cguid.h>
#include <uuids.h>

#include <map>
#include <string>

struct MatchQuery {
  GUID major = MEDIATYPE_Video;
  GUID subtype = GUID_NULL;
  DWORD merit = 0;
  BOOL render = FALSE;
  BOOL outputNeeded = FALSE;
};

// Friendly names, by class identifier text as the mapper has it, of the
// filters listed for an input pin taking `query`'s type.
std::map<std::wstring, std::wstring> MatchingFilters(const MatchQuery& query);
