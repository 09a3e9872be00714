// A library that says so on standard error when a program loads it: a privileged program must not.
#include <unistd.h>

namespace {

__attribute__((constructor)) void announce() {
    const char text[] = "PRELOADED\n";
    (void)!::write(2, text, sizeof text - 1);
}

} // namespace

// Makes the library an audit module too, so that LD_AUDIT loads it as well.
extern "C" unsigned la_version(unsigned version) {
    return version;
}
