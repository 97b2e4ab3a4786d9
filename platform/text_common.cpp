#include "text.h"

#include <vector>

namespace platform {

bool WideToNarrow(const std::wstring& wide, std::string* narrow) {
  // Four bytes per UTF-16 unit covers every narrow encoding the conversion yields.
  std::vector<char> buffer(wide.size() * 4 + 1);
  narrow->clear();
  if (!WideToNarrow(wide.c_str(), buffer.data(), static_cast<std::uint32_t>(buffer.size())))
    return false;
  *narrow = buffer.data();
  return true;
}

std::string PrintableName(const NativeString& name, const char* unconvertible) {
#ifdef _WIN32
  std::string narrow;
  return WideToNarrow(name, &narrow) ? narrow : std::string(unconvertible);
#else
  (void)unconvertible;
  return name;
#endif
}

}  // namespace platform
