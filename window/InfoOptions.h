#pragma once

#include <ostream>

// The window's --help and --version. They are answered before QApplication exists, so that they work
// without a display (help2man and package checks run them on build machines).
// Returns the exit status when one of them was given, or -1 when the window should start.
int AnswerInfoOptions(int argc, const char* const* argv, std::ostream& out);

// Whether the window writes its diagnostic trace lines to standard output: only with --trace or
// FLASHWELL_TRACE=1 (traceVariable is that variable's value, null when unset). A window started from
// a desktop launcher must not fill the journal with them.
bool TraceWanted(int argc, const char* const* argv, const char* traceVariable);
