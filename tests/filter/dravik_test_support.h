#pragma once
// Shared pieces of the tests that load Dravik as a module: where the module
// is, Windows spellings of the Unix paths ctest hands over, and running a
// Windows program of the prefix (regsvr32) to completion.

#include <windows.h>
#include <objbase.h>

#include <string>

namespace dravik_test {

// "/a/b" as Wine's drive Z: sees it, "Z:\a\b"; a name that already has a drive
// letter only gets backslashes. Either way made absolute, without "..".
std::string WindowsPath(const std::string& unixPath);
std::wstring Widen(const std::string& text);
// The built dravik.ax, as a Windows path.
std::string ModulePath();
// The class key's name, "CLSID\{...}".
std::string ClassKeyName();
// Runs `commandLine` and waits (at most `timeoutMs`); the exit code, or -1 when
// the program could not be started or did not end in time.
long RunProgram(const std::string& commandLine, DWORD timeoutMs = 60000);

}  // namespace dravik_test
