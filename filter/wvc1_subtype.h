#pragma once
// The media subtype of compressed VC-1 Advanced Profile video, the one the
// writer's input pin accepts. The system headers do not carry it. A FOURCC
// subtype is the four characters, little-endian, followed by the standard
// subtype tail.

#include <guiddef.h>

// 'WVC1': 31435657-0000-0010-8000-00AA00389B71.
inline constexpr GUID MEDIASUBTYPE_WVC1 = {
    0x31435657, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
