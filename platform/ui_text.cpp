#include "ui.h"

#include <cstring>

#include "file.h"

namespace platform {

bool TextUserInterface::ReadLine(std::string* line) {
  line->clear();
  int c;
  while ((c = std::fgetc(in_)) != EOF && c != '\n') line->push_back(static_cast<char>(c));
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return c != EOF || !line->empty();
}

bool TextUserInterface::AskOkCancel(const char* text, const char* caption) {
  if (!interactive_) return false;
  std::fprintf(out_, "%s: %s [ok/cancel] ", caption, text);
  std::fflush(out_);
  std::string answer;
  if (!ReadLine(&answer)) return false;
  return answer == "ok" || answer == "OK" || answer == "o" || answer == "y" || answer == "yes";
}

void TextUserInterface::ShowWarning(const char* text, const char* caption) {
  std::fprintf(out_, "%s: %s\n", caption, text);
  std::fflush(out_);
}

bool TextUserInterface::ChooseFileToOpen(const char* title, const FileTypeFilter* filters,
                                         std::uint32_t filterCount, bool mustExist, char* path,
                                         std::uint32_t capacity) {
  if (!interactive_ || capacity == 0) return false;
  std::fprintf(out_, "%s\n", title);
  for (std::uint32_t i = 0; i < filterCount; ++i)
    std::fprintf(out_, "  %s  %s\n", filters[i].display, filters[i].pattern);
  for (;;) {
    std::fprintf(out_, "File name (empty line: cancel): ");
    std::fflush(out_);
    std::string name;
    if (!ReadLine(&name) || name.empty()) return false;
    if (name.size() >= capacity) {
      std::fprintf(out_, "The name is too long.\n");
      continue;
    }
    if (mustExist && !File::OpenSharedRead(name.c_str()).IsOpen()) {
      std::fprintf(out_, "%s\nFile not found.\n", name.c_str());
      continue;
    }
    std::memcpy(path, name.c_str(), name.size() + 1);
    return true;
  }
}

}  // namespace platform
