#pragma once
// The user-interaction seam: the writer's modal question, warning and
// open-file chooser. Windows shows the system's message boxes and dialog
// (always without an owner window); POSIX talks on a terminal; tests answer
// from a script.

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

namespace platform {

// One display/pattern pair of an open-file chooser ("Text (*.txt)", "*.txt").
struct FileTypeFilter {
  const char* display;
  const char* pattern;
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Modal question with OK and Cancel buttons; true only for OK.
  virtual bool AskOkCancel(const char* text, const char* caption) = 0;
  // Modal warning (exclamation icon) with an OK button.
  virtual void ShowWarning(const char* text, const char* caption) = 0;
  // Modal open-file chooser, the first filter selected. `path` (capacity
  // bytes, zeroed by the caller) receives the chosen name. With mustExist the
  // chooser accepts only a file that exists. False when nothing was chosen
  // (cancelled, or the chooser could not be shown).
  virtual bool ChooseFileToOpen(const char* title, const FileTypeFilter* filters,
                                std::uint32_t filterCount, bool mustExist, char* path,
                                std::uint32_t capacity) = 0;
};

// The platform's own: Win32 message boxes and the open-file dialog; on POSIX
// a TextUserInterface over stdin and stderr that prompts only when both are
// terminals.
UserInterface& SystemUserInterface();

// Questions and answers as lines of text. Interactive: the question and the
// chooser prompt on `out` and read a line from `in`. Not interactive (no
// terminal to ask): the question answers Cancel and the chooser chooses
// nothing, without a prompt. Warnings are written to `out` either way.
class TextUserInterface final : public UserInterface {
 public:
  TextUserInterface(std::FILE* in, std::FILE* out, bool interactive)
      : in_(in), out_(out), interactive_(interactive) {}
  bool AskOkCancel(const char* text, const char* caption) override;
  void ShowWarning(const char* text, const char* caption) override;
  bool ChooseFileToOpen(const char* title, const FileTypeFilter* filters, std::uint32_t filterCount,
                        bool mustExist, char* path, std::uint32_t capacity) override;

 private:
  bool ReadLine(std::string* line);
  std::FILE* in_;
  std::FILE* out_;
  bool interactive_;
};

// Tests: records every request and answers from a script. An empty script
// answers Cancel to a question and chooses nothing.
class ScriptedUserInterface final : public UserInterface {
 public:
  enum class Kind { kQuestion, kWarning, kChooser };
  struct Request {
    Kind kind;
    std::string text;     // question and warning text; the chooser's title
    std::string caption;  // empty for the chooser
    std::vector<std::string> filters;  // display, pattern, display, pattern...
    bool mustExist = false;
    std::uint32_t capacity = 0;
  };

  void AnswerOk() { answers_.push_back(true); }
  void AnswerCancel() { answers_.push_back(false); }
  // A chosen name; "" stands for a cancelled chooser.
  void Choose(const std::string& path) { choices_.push_back(path); }

  bool AskOkCancel(const char* text, const char* caption) override;
  void ShowWarning(const char* text, const char* caption) override;
  bool ChooseFileToOpen(const char* title, const FileTypeFilter* filters, std::uint32_t filterCount,
                        bool mustExist, char* path, std::uint32_t capacity) override;

  const std::vector<Request>& Requests() const { return requests_; }
  std::size_t UnusedAnswers() const { return answers_.size() + choices_.size(); }

 private:
  std::vector<Request> requests_;
  std::deque<bool> answers_;
  std::deque<std::string> choices_;
};

}  // namespace platform
