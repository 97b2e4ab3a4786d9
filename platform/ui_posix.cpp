#include "ui.h"

#include <unistd.h>

namespace platform {

UserInterface& SystemUserInterface() {
  // There is no desktop dialog to show: ask on the terminal when there is one
  // to answer, and otherwise decline quietly (questions Cancel, no file).
  static TextUserInterface ui(stdin, stderr, ::isatty(0) == 1 && ::isatty(2) == 1);
  return ui;
}

}  // namespace platform
