#pragma once

#include <optional>
#include <string>

#include "util/Result.h"

// Where the camera password comes from, the first that is given: --password VALUE; --password -,
// which prompts without echo on a terminal and otherwise reads one line of standard input;
// --password-file FILE (its first line); the environment's FLASHWELL_PASSWORD; the built-in
// "qnwt". So the password need not stand in the process list. A failure when a named source cannot
// be read.
Result<std::string> ResolvePassword(const std::optional<std::string>& option, const std::string& file);
