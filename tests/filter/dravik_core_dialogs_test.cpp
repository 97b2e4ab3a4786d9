// The writer core's questions as the user meets them: the system's message
// box and open-file dialog, shown on a private display and answered from
// outside (tests/support/dialog-session.sh).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_answers.h"
#include "dravik_test_support.h"
#include "filter/vc1_writer_core.h"
#include "test_data.h"

using dravik_test::DialogAnswers;
using dravik_test::WindowsPath;

namespace {

std::string FirstWmv() {
  const auto files = testdata::List("wmv", ".wmv");
  return files.empty() ? std::string() : WindowsPath(files.front());
}

constexpr dravik::HResult kAnyFailure = static_cast<dravik::HResult>(0x80004005u);

struct Row {
  const char* name;
  bool outputExists;
  const char* overwrite;  // answer to the overwrite question, if asked
  bool chooseInput;       // the input dialog is given a WMV (else cancelled)
  dravik::HResult result;  // kAnyFailure: whatever failure the system gives
  bool emptied;           // the existing output was emptied
  bool headers;           // a header block was captured
};

TEST(DravikCoreDialogs, OverwriteQuestionAndInputDialog) {
  DRAVIK_REQUIRE_DIALOGS();
  VC1_REQUIRE_TESTDATA();
  const std::string wmv = FirstWmv();
  ASSERT_FALSE(wmv.empty());
  const Row rows[] = {
      {"new file, input chosen", false, nullptr, true, 0, true, true},
      {"overwrite accepted", true, "ok", true, 0, true, true},
      // A declined overwrite is a failure, even though headers came.
      {"overwrite declined", true, "cancel", true, kAnyFailure, false, true},
      {"input dialog cancelled", false, nullptr, false, 1, true, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string output = WindowsPath(testdata::ScratchDir()) + "\\out.vc1";
    if (row.outputExists) {
      ASSERT_TRUE(testdata::WriteFile(output, {1, 2, 3}));
    }
    const std::size_t before = DialogAnswers::Shown().size();
    std::vector<std::string> expected;
    if (row.overwrite) {
      DialogAnswers::Queue("overwrite", row.overwrite);
      expected.push_back(std::string("overwrite ") + row.overwrite);
    }
    DialogAnswers::Queue("input", row.chooseInput ? wmv : "cancel");
    expected.push_back("input " + (row.chooseInput ? wmv : std::string("cancel")));

    dravik::Vc1WriterCore core(platform::SystemUserInterface(), nullptr, nullptr);
    const std::wstring name = dravik_test::Widen(output);
    const dravik::HResult hr = core.SetFileName(name.c_str());
    if (row.result == kAnyFailure)
      EXPECT_LT(hr, 0) << "a failure";
    else
      EXPECT_EQ(hr, row.result);
    core.CloseOutputFile();

    const auto shown = DialogAnswers::Shown();
    EXPECT_EQ(std::vector<std::string>(shown.begin() + static_cast<long>(before), shown.end()),
              expected);
    EXPECT_EQ(testdata::ReadFile(output).empty(), row.emptied);
    EXPECT_EQ(core.HeaderBlockLength() > 0, row.headers);
  }
}

}  // namespace
