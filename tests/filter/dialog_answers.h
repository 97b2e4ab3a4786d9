#pragma once
// The Windows side of tests/support/dialog-session.sh: queues the answers for
// Dravik's real dialogs and reads back which dialogs were shown.

#include <windows.h>

#include <string>
#include <vector>

namespace dravik_test {

class DialogAnswers {
 public:
  // True inside a dialog session (a display and an answerer are there).
  static bool Available();

  // kind: "overwrite" ("ok" / "cancel"), "input" (a Windows path or
  // "cancel"), "warning" ("ok"). Answers of one kind are used in order.
  static void Queue(const char* kind, const std::string& answer);
  // "<kind> <answer>" for every dialog answered so far in this process's
  // session, in order ("default" when none was queued).
  static std::vector<std::string> Shown();
  // Waits until at least `count` dialogs were answered; false on timeout.
  static bool WaitShown(std::size_t count, DWORD timeoutMs = 40000);

 private:
  static std::string Folder();
};

}  // namespace dravik_test

#define DRAVIK_REQUIRE_DIALOGS()                                                        \
  do {                                                                                  \
    if (!::dravik_test::DialogAnswers::Available())                                     \
      GTEST_SKIP() << "no dialog session (Xvfb and xdotool, tests/support/dialog-session.sh); skipped"; \
  } while (0)
