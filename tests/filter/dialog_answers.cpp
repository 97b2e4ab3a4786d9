#include "dialog_answers.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "dravik_test_support.h"

namespace dravik_test {

std::string DialogAnswers::Folder() {
  const char* folder = std::getenv("DRAVIK_DIALOGS");
  return folder && *folder ? WindowsPath(folder) : std::string();
}

bool DialogAnswers::Available() { return !Folder().empty(); }

void DialogAnswers::Queue(const char* kind, const std::string& answer) {
  // One sequence for the process: answers are used in the order queued.
  static LONG sequence = 0;
  char name[32];
  std::snprintf(name, sizeof name, "%08ld-%s", InterlockedIncrement(&sequence), kind);
  const std::string queue = Folder() + "\\queue\\";
  const std::string draft = queue + "draft-" + name;
  {
    std::ofstream out(draft, std::ios::binary);
    out << answer;
  }
  // Whole or not at all: the answerer may look at the folder any moment.
  MoveFileExA(draft.c_str(), (queue + name).c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::vector<std::string> DialogAnswers::Shown() {
  std::vector<std::string> lines;
  std::ifstream in(Folder() + "\\log");
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

bool DialogAnswers::WaitShown(std::size_t count, DWORD timeoutMs) {
  for (DWORD waited = 0;; waited += 50) {
    if (Shown().size() >= count) return true;
    if (waited >= timeoutMs) return false;
    Sleep(50);
  }
}

}  // namespace dravik_test
