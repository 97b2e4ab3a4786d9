#include "dravik_test_support.h"

#include "filter/dravik_class.h"

namespace dravik_test {

std::string WindowsPath(const std::string& unixPath) {
  const bool hasDrive = unixPath.size() >= 2 && unixPath[1] == ':';
  std::string path = hasDrive ? unixPath : "Z:" + unixPath;
  for (char& c : path)
    if (c == '/') c = '\\';
  // Without "..": typed into a file dialog, the name must be plain.
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  return length > 0 && length < MAX_PATH ? std::string(full, length) : path;
}

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string ModulePath() { return WindowsPath(DRAVIK_MODULE_FILE); }

std::string ClassKeyName() {
  WCHAR text[39];
  StringFromGUID2(CLSID_DravikWriter, text, 39);
  std::string key = "CLSID\\";
  for (const WCHAR* c = text; *c; ++c) key += static_cast<char>(*c);
  return key;
}

long RunProgram(const std::string& commandLine, DWORD timeoutMs) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;  // CreateProcessA may write into it
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return -1;
  CloseHandle(process.hThread);
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return static_cast<long>(code);
}

}  // namespace dravik_test
