#include "util/Trace.h"

#include <atomic>
#include <cstdarg>

namespace {
std::atomic<std::FILE*> g_traceStream{stdout};
}

void SetTraceStream(std::FILE* stream) {
    g_traceStream = stream;
}

void Trace(const char* format, ...) {
    std::FILE* stream = g_traceStream.load();
    if (!stream)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stream, format, args);
    va_end(args);
    std::fflush(stream);
}
