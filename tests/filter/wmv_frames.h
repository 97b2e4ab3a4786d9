#pragma once
// A push-source script of a WMV's real frames: the first WVC1 stream's media
// objects as the WM ASF Reader would deliver them (compressed, whole, in
// order), offered as video/WVC1.

#include "support/test_source.h"

namespace dravik_test {

// Empty (no steps) when the file has no readable WVC1 stream; otherwise the
// frames and then an end of stream.
TestSourceScript FramesOf(const std::string& wmv);

}  // namespace dravik_test
