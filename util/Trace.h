#pragma once

#include <cstdio>

// Diagnostic trace lines for the engineer, never shown to the operator. The windowed tool
// writes them to standard output; the console front end moves them off its result stream.
void SetTraceStream(std::FILE* stream); // nullptr silences traces
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
