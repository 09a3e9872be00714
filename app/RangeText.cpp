#include "app/RangeText.h"

#include <cstdlib>
#include <string>

long RangeTextNumber(std::string_view text) {
    const std::string terminated(text); // strtol needs the terminator a view lacks
    return std::strtol(terminated.c_str(), nullptr, 10);
}
