#include "ui.h"

#include <cstring>

namespace platform {

bool ScriptedUserInterface::AskOkCancel(const char* text, const char* caption) {
  requests_.push_back({Kind::kQuestion, text, caption, {}, false, 0});
  if (answers_.empty()) return false;
  bool ok = answers_.front();
  answers_.pop_front();
  return ok;
}

void ScriptedUserInterface::ShowWarning(const char* text, const char* caption) {
  requests_.push_back({Kind::kWarning, text, caption, {}, false, 0});
}

bool ScriptedUserInterface::ChooseFileToOpen(const char* title, const FileTypeFilter* filters,
                                             std::uint32_t filterCount, bool mustExist, char* path,
                                             std::uint32_t capacity) {
  Request r{Kind::kChooser, title, "", {}, mustExist, capacity};
  for (std::uint32_t i = 0; i < filterCount; ++i) {
    r.filters.emplace_back(filters[i].display);
    r.filters.emplace_back(filters[i].pattern);
  }
  requests_.push_back(std::move(r));
  if (choices_.empty()) return false;
  std::string chosen = choices_.front();
  choices_.pop_front();
  if (chosen.empty() || capacity == 0) return false;
  // Like the system dialog: a name that does not fit is not handed back cut short.
  if (chosen.size() >= capacity) return false;
  std::memcpy(path, chosen.c_str(), chosen.size() + 1);
  return true;
}

}  // namespace platform
