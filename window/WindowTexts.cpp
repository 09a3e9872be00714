#include "window/WindowTexts.h"

namespace {

QString window(const char* english) {
    return QCoreApplication::translate("Window", english);
}

} // namespace

WindowTexts TranslatedTexts() {
    WindowTexts t;
    t.caption = window(QT_TRANSLATE_NOOP("Window", "Device Flashwell 2.0"));
    t.cameraLists = window(QT_TRANSLATE_NOOP("Window", "Camera lists:"));
    t.browse = window(QT_TRANSLATE_NOOP("Window", "Browse File..."));
    t.networkCard = window(QT_TRANSLATE_NOOP("Window", "Network Card "));
    t.deviceModel = window(QT_TRANSLATE_NOOP("Window", "Device Model"));
    t.firmwareVersion = window(QT_TRANSLATE_NOOP("Window", "Firmware Version"));
    t.user = window(QT_TRANSLATE_NOOP("Window", "ID"));
    t.password = window(QT_TRANSLATE_NOOP("Window", "Pwd"));
    // The template's text promised to work on every device when none is selected; with no selection
    // the window does nothing and says so, which is what it now describes. The Chinese text ran two
    // versions of one sentence together; its translation is that sentence once.
    t.description = window(
        QT_TRANSLATE_NOOP("Window", "***** Function Description *****\n"
                                    "\"Auto Change IP\" : Auto change IP address of selected devices which using "
                                    "'192.168.0.20' with predefined IP range (nothing done if no one selected)\n"
                                    "\"Starting Upgrade\" : Auto upgrade firmware to selected devices (nothing done if "
                                    "no one selected)"));
    t.ip = QStringLiteral("IP:"); // the same in every language
    t.tilde = QStringLiteral("~");
    t.autoChangeIp = window(QT_TRANSLATE_NOOP("Window", "Auto Change IP"));
    t.search = window(QT_TRANSLATE_NOOP("Window", "Search"));
    t.resetDefault = window(QT_TRANSLATE_NOOP("Window", "Reset Default"));
    t.checkVersion = window(QT_TRANSLATE_NOOP("Window", "Check Version"));
    t.upgrade = window(QT_TRANSLATE_NOOP("Window", "Starting Upgrade"));
    t.exit = window(QT_TRANSLATE_NOOP("Window", "Exit"));
    return t;
}
