#pragma once

#include <string>

// The code page that stands for the Windows OEM code page, taken from the locale
// (LC_ALL, then LC_CTYPE, then LANG): zh_CN and zh_SG give 936, zh_TW and zh_HK 950, else 437.
unsigned OemCodePageFromLocale();
unsigned CodePageForLocaleName(const std::string& name);

// The device list's column titles: Chinese for 936, English otherwise.
const char* ColumnTitle(int column, unsigned codePage);
