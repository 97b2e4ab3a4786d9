#include "platform/ui.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <commdlg.h>
#include <cderr.h>
#else
#include <unistd.h>
#endif

#include "test_data.h"

namespace {

const platform::FileTypeFilter kFilters[2] = {{"Movies (*.wmv)", "*.wmv"}, {"All (*.*)", "*.*"}};

// Runs `ask` against a TextUserInterface whose input is `input`; returns what
// it wrote.
template <typename Ask>
std::string WithText(const std::string& input, bool interactive, Ask ask) {
  std::FILE* in = std::tmpfile();
  std::FILE* out = std::tmpfile();
  std::fputs(input.c_str(), in);
  std::rewind(in);
  platform::TextUserInterface ui(in, out, interactive);
  ask(ui);
  std::rewind(out);
  std::string written;
  int c;
  while ((c = std::fgetc(out)) != EOF) written.push_back(static_cast<char>(c));
  std::fclose(in);
  std::fclose(out);
  return written;
}

TEST(TextUserInterface, QuestionsAnswerOkOnlyWhenTheUserSaysSo) {
  struct Row {
    const char* input;
    bool interactive;
    bool expected;
  };
  const Row rows[] = {{"ok\n", true, true},     {"y\n", true, true},   {"yes\r\n", true, true},
                      {"cancel\n", true, false}, {"\n", true, false},  {"", true, false},
                      {"ok\n", false, false}};
  for (const Row& r : rows) {
    bool answer = true;
    std::string shown = WithText(r.input, r.interactive, [&](platform::UserInterface& ui) {
      answer = ui.AskOkCancel("Overwrite?", "Exists");
    });
    EXPECT_EQ(answer, r.expected) << r.input;
    EXPECT_EQ(shown.find("Exists: Overwrite?") != std::string::npos, r.interactive) << shown;
  }
}

TEST(TextUserInterface, WarningsAreWrittenEvenWithoutATerminal) {
  std::string shown = WithText("", false, [](platform::UserInterface& ui) {
    ui.ShowWarning("Disk full.\r\n\r\nRestart.", "Failure");
  });
  EXPECT_EQ(shown, "Failure: Disk full.\r\n\r\nRestart.\n");
}

TEST(TextUserInterface, ChooserTakesOnlyAnExistingFileThatFits) {
  std::string dir = testdata::ScratchDir();
  std::string existing = dir + "/in.wmv";
  std::FILE* f = std::fopen(existing.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);

  char path[260] = {};
  bool chosen = false;
  std::string input = dir + "/missing.wmv\n" + std::string(300, 'x') + "\n" + existing + "\n";
  std::string shown = WithText(input, true, [&](platform::UserInterface& ui) {
    chosen = ui.ChooseFileToOpen("Pick one", kFilters, 2, true, path, sizeof path);
  });
  EXPECT_TRUE(chosen);
  EXPECT_EQ(std::string(path), existing);
  EXPECT_NE(shown.find("Pick one"), std::string::npos);
  EXPECT_NE(shown.find("File not found."), std::string::npos);
  EXPECT_NE(shown.find("too long"), std::string::npos);

  struct Row {
    std::string input;
    bool interactive;
  };
  const Row declined[] = {{"\n", true}, {"", true}, {existing + "\n", false}};
  for (const Row& r : declined) {
    char none[260] = {};
    bool got = true;
    WithText(r.input, r.interactive, [&](platform::UserInterface& ui) {
      got = ui.ChooseFileToOpen("Pick", kFilters, 2, true, none, sizeof none);
    });
    EXPECT_FALSE(got) << r.input;
    EXPECT_STREQ(none, "");
  }
}

#ifndef _WIN32
// A program with no terminal to ask on (a pipe, a service, a test run)
// declines every question and chooses nothing, at once and without a prompt.
TEST(PosixUserInterface, WithoutATerminalNothingIsAsked) {
  if (isatty(0) == 1 && isatty(2) == 1) GTEST_SKIP() << "run from a terminal; skipped";
  platform::UserInterface& ui = platform::SystemUserInterface();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(ui.AskOkCancel("Output File already exists - overwrite it?", "File Already Exists"));
  char path[260] = {};
  EXPECT_FALSE(ui.ChooseFileToOpen("title", kFilters, 2, true, path, sizeof path));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_STREQ(path, "");
}
#endif

#ifdef _WIN32
// Without a display the system's dialogs cannot appear and return at once;
// the chooser must still get past its size check (a wrong description size
// is refused before any window is made).
TEST(Win32UserInterface, HeadlessDialogsDeclineWithoutHanging) {
  if (std::getenv("DISPLAY") != nullptr) GTEST_SKIP() << "a display is present; skipped";
  platform::UserInterface& ui = platform::SystemUserInterface();
  EXPECT_FALSE(ui.AskOkCancel("Output File already exists - overwrite it?", "File Already Exists"));
  ui.ShowWarning("text", "caption");
  char path[260] = {};
  EXPECT_FALSE(ui.ChooseFileToOpen("title", kFilters, 2, true, path, sizeof path));
  EXPECT_NE(::CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
  EXPECT_STREQ(path, "");
}
#endif

}  // namespace
