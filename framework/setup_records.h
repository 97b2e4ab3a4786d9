#pragma once
// Filter setup records: what a module tells the system filter registry about
// each of its filters. The pin and media-type records are the published
// version-1 mapper records, so a pin array can be handed to the mapper as is.
// (The published pin record types its name as a non-const LPWSTR: keep pin
// names in WCHAR arrays rather than casting literals.)

#include <strmif.h>

using AMOVIESETUP_MEDIATYPE = REGPINTYPES;
using AMOVIESETUP_PIN = REGFILTERPINS;

struct AMOVIESETUP_FILTER {
  const CLSID* clsID;
  const WCHAR* strName;
  DWORD dwMerit;
  UINT nPins;
  const AMOVIESETUP_PIN* lpPin;
};
