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

const char* ColumnTitle(int column, unsigned codePage) {
    static const char* const english[] = {"Idx", "Name", "IP", "MAC", "Status"};
    static const char* const chinese[] = {"索引", "设备名称", "设备IP", "网卡MAC地址", "更新状态"};
    if (column < 0 || column > 4)
        return "";
    return codePage == 936 ? chinese[column] : english[column];
}
