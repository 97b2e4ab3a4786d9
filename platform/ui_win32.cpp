#include "ui.h"

#include <cstring>
#include <string>

#include <windows.h>
#include <commdlg.h>

namespace platform {

namespace {

class Win32UserInterface final : public UserInterface {
 public:
  bool AskOkCancel(const char* text, const char* caption) override {
    return ::MessageBoxA(nullptr, text, caption, MB_OKCANCEL) == IDOK;
  }

  void ShowWarning(const char* text, const char* caption) override {
    ::MessageBoxA(nullptr, text, caption, MB_ICONEXCLAMATION | MB_OK);  // 0x30
  }

  bool ChooseFileToOpen(const char* title, const FileTypeFilter* filters, std::uint32_t filterCount,
                        bool mustExist, char* path, std::uint32_t capacity) override {
    // The dialog wants the pairs as one run of terminated strings ending in an
    // empty one.
    std::string filterList;
    for (std::uint32_t i = 0; i < filterCount; ++i) {
      filterList.append(filters[i].display).push_back('\0');
      filterList.append(filters[i].pattern).push_back('\0');
    }
    filterList.push_back('\0');

    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof ofn);
    // The description without the later extension fields: its old fixed size
    // (76) on 32-bit Windows, and the matching size on 64-bit, where 76 is refused.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.lpstrFilter = filterList.c_str();
    // nFilterIndex 0 with no custom filter: the first pair is selected.
    ofn.lpstrFile = path;
    ofn.nMaxFile = capacity;
    ofn.lpstrTitle = title;
    ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR | (mustExist ? OFN_FILEMUSTEXIST : 0);
    return ::GetOpenFileNameA(&ofn) != FALSE;
  }
};

}  // namespace

UserInterface& SystemUserInterface() {
  static Win32UserInterface ui;
  return ui;
}

}  // namespace platform
