#pragma once

#include <string_view>

// The number an "Auto Change IP" range field holds: its leading decimal number, as the C library
// reads it (blanks and a sign before it allowed, anything after it ignored, a number too large
// held at the largest value), 0 when the text does not begin with one.
long RangeTextNumber(std::string_view text);
