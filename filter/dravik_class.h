#pragma once
// Dravik's one class: its identifier and the names the system shows for it.
// The identifier is fixed for good: registries, graph files and applications
// that create the filter by class refer to it.

#include <windows.h>

// {1E3E51EE-48C7-41A2-895B-364A9E7534F6}
inline constexpr CLSID CLSID_DravikWriter = {
    0x1e3e51ee, 0x48c7, 0x41a2, {0x89, 0x5b, 0x36, 0x4a, 0x9e, 0x75, 0x34, 0xf6}};

// The COM class's description (the class key's default value).
inline constexpr const WCHAR* kDravikClassName = L"Dravik";
// The filter's name in the system's filter registry and in graph editors.
inline constexpr const WCHAR* kDravikFilterName = L"Dravik v0.2";
// Graph building never picks the filter on its own (MERIT_DO_NOT_USE).
inline constexpr DWORD kDravikMerit = 0x00200000;
