#pragma once

#include <ostream>

// The window's --help and --version. They are answered before QApplication exists, so that they work
// without a display (help2man and package checks run them on build machines).
// Returns the exit status when one of them was given, or -1 when the window should start.
int AnswerInfoOptions(int argc, const char* const* argv, std::ostream& out);
