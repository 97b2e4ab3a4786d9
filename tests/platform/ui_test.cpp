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
#endif

#include "test_data.h"

namespace {

const platform::FileTypeFilter kFilters[2] = {{"Movies (*.wmv)", "*.wmv"}, {"All (*.*)", "*.*"}};

TEST(ScriptedUserInterface, RecordsEveryRequestAndAnswersInOrder) {
  platform::ScriptedUserInterface ui;
  ui.AnswerOk();
  ui.AnswerCancel();
  ui.Choose("C:\\in.wmv");
  ui.Choose("");
  EXPECT_TRUE(ui.AskOkCancel("q1", "c1"));
  EXPECT_FALSE(ui.AskOkCancel("q2", "c2"));
  EXPECT_FALSE(ui.AskOkCancel("q3", "c3"));  // script used up: Cancel
  ui.ShowWarning("w", "wc");
  char path[16] = {};
  EXPECT_TRUE(ui.ChooseFileToOpen("t", kFilters, 2, true, path, sizeof path));
  EXPECT_STREQ(path, "C:\\in.wmv");
  char none[16] = {};
  EXPECT_FALSE(ui.ChooseFileToOpen("t", kFilters, 2, false, none, sizeof none));
  EXPECT_FALSE(ui.ChooseFileToOpen("t", kFilters, 2, false, none, sizeof none));
  EXPECT_STREQ(none, "");
  EXPECT_EQ(ui.UnusedAnswers(), 0u);

  using Kind = platform::ScriptedUserInterface::Kind;
  const auto& r = ui.Requests();
  ASSERT_EQ(r.size(), 7u);
  EXPECT_EQ(r[0].kind, Kind::kQuestion);
  EXPECT_EQ(r[1].text, "q2");
  EXPECT_EQ(r[1].caption, "c2");
  EXPECT_EQ(r[3].kind, Kind::kWarning);
  EXPECT_EQ(r[3].text, "w");
  EXPECT_EQ(r[4].kind, Kind::kChooser);
  EXPECT_EQ(r[4].filters, (std::vector<std::string>{"Movies (*.wmv)", "*.wmv", "All (*.*)", "*.*"}));
  EXPECT_TRUE(r[4].mustExist);
  EXPECT_EQ(r[4].capacity, 16u);
  EXPECT_FALSE(r[5].mustExist);
}

TEST(ScriptedUserInterface, AChoiceThatDoesNotFitIsNotCutShort) {
  platform::ScriptedUserInterface ui;
  ui.Choose("0123456789");
  char path[10] = {};
  EXPECT_FALSE(ui.ChooseFileToOpen("t", kFilters, 2, true, path, sizeof path));
  EXPECT_STREQ(path, "");
}

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
