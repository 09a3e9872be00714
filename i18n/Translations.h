#pragma once

#include <QTranslator>

#include "util/Text.h"

// Loads the catalogue of the code page's language into the translator; false where there is none
// (English, the texts' own language).
bool LoadTranslation(QTranslator& translator, unsigned codePage);

// Renders texts through the translator, in English where it has no translation.
Text::Translate TranslateWith(const QTranslator& translator);

// The application's language for the code page: its catalogue installed, or none (English). The
// window calls it once at start; a test may call it again for another language.
void UseLanguage(unsigned codePage);

// Renders texts through the application's installed translators, as tr() does.
Text::Translate QtTranslate();
