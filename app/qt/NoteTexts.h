#pragma once

#include <QString>

// The line under the list in the window's language. The controller words its notes in English;
// under code page 936 the window shows the ones it knows in Chinese, keeping their names,
// addresses and numbers, and any other text as it came.
QString NoteInLanguage(const QString& english, unsigned codePage);
