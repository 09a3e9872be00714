#pragma once

#include <ostream>

#include "app/TarnDlg.h"

// flashwell-cli: the console front end over the same controller as the window.
// Exit status: 0 success, 1 a listed camera is marked failed, 2 bad usage or set-up, 128 plus the
// signal's number when a stop signal ended the job.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           const CTarnDlg::Platform& platform = {});
