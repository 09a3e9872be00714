#pragma once

#include <string>

#include "util/Text.h"

// The code page that stands for the Windows OEM code page, taken from the locale
// (LC_ALL, then LC_CTYPE, then LANG): zh_CN and zh_SG give 936, zh_TW and zh_HK 950, else 437.
unsigned OemCodePageFromLocale();
unsigned CodePageForLocaleName(const std::string& name);

// The name of the translation catalogue for the code page's language (e.g. "flashwell_zh_CN"),
// or none where the texts stay English.
const char* TranslationOf(unsigned codePage);

// The device list's column titles, in English: each front end shows them in its language.
Text ColumnTitle(int column);
