#pragma once
// Media subtypes that the system headers do not carry. A FOURCC subtype is the
// four characters, little-endian, followed by the standard subtype tail.

#include <guiddef.h>

// 'WVC1': 31435657-0000-0010-8000-00AA00389B71.
inline constexpr GUID MEDIASUBTYPE_WVC1 = {
    0x31435657, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
