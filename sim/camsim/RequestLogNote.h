#pragma once

#include <string>

// Extra detail for the request log line, set while a request is served on the thread that then
// logs it; a fault that keeps httplib's response from the client also replaces the status shown.
struct RequestLogNote {
    std::string detail;  // appended to the line
    std::string outcome; // shown instead of the status when not empty
};

inline thread_local RequestLogNote t_requestNote;
