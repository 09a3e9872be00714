#include "app/Language.h"

#include <cstdlib>

unsigned CodePageForLocaleName(const std::string& name) {
    auto starts = [&](const char* prefix) { return name.rfind(prefix, 0) == 0; };
    if (starts("zh_CN") || starts("zh_SG"))
        return 936;
    if (starts("zh_TW") || starts("zh_HK"))
        return 950;
    return 437;
}

unsigned OemCodePageFromLocale() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return CodePageForLocaleName(value);
    }
    return 437;
}

const char* TranslationOf(unsigned codePage) {
    struct Language {
        unsigned codePage;
        const char* catalogue;
    };
    // As the original did, only Simplified Chinese has texts of its own; 950 stays English.
    static constexpr Language kLanguages[] = {
        {936, "flashwell_zh_CN"},
    };
    for (const Language& language : kLanguages)
        if (language.codePage == codePage)
            return language.catalogue;
    return nullptr;
}

Text ColumnTitle(int column) {
    static const char* const titles[] = {
        QT_TRANSLATE_NOOP("Column", "Idx"), QT_TRANSLATE_NOOP("Column", "Name"),   QT_TRANSLATE_NOOP("Column", "IP"),
        QT_TRANSLATE_NOOP("Column", "MAC"), QT_TRANSLATE_NOOP("Column", "Status"),
    };
    if (column < 0 || column > 4)
        return {};
    return {"Column", titles[column]};
}
