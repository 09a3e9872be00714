#include "app/qt/WindowTexts.h"

namespace {

WindowTexts englishTexts() {
    WindowTexts t;
    t.caption = QStringLiteral("Device Flashwell 2.0");
    t.cameraLists = QStringLiteral("Camera lists:");
    t.browse = QStringLiteral("Browse File...");
    t.networkCard = QStringLiteral("Network Card ");
    t.deviceModel = QStringLiteral("Device Model");
    t.firmwareVersion = QStringLiteral("Firmware Version");
    t.user = QStringLiteral("ID");
    t.password = QStringLiteral("Pwd");
    // The template's text promised to work on every device when none is selected; with no selection
    // the window does nothing and says so, which is what it now describes.
    t.description = QStringLiteral("***** Function Description *****\n"
                                   "\"Auto Change IP\" : Auto change IP address of selected devices which using "
                                   "'192.168.0.20' with predefined IP range (nothing done if no one selected)\n"
                                   "\"Starting Upgrade\" : Auto upgrade firmware to selected devices (nothing done if "
                                   "no one selected)");
    t.ip = QStringLiteral("IP:");
    t.tilde = QStringLiteral("~");
    t.autoChangeIp = QStringLiteral("Auto Change IP");
    t.search = QStringLiteral("Search");
    t.resetDefault = QStringLiteral("Reset Default");
    t.checkVersion = QStringLiteral("Check Version");
    t.upgrade = QStringLiteral("Starting Upgrade");
    t.exit = QStringLiteral("Exit");
    return t;
}

WindowTexts chineseTexts() {
    // Only the captions of the string table change; the other labels keep the template's texts.
    WindowTexts t = englishTexts();
    t.caption = QStringLiteral("Flashwell V 2.0");
    t.cameraLists = QStringLiteral("设备列表");
    t.search = QStringLiteral("搜索");
    t.deviceModel = QStringLiteral("设备类型");
    t.firmwareVersion = QStringLiteral("固件版本");
    t.autoChangeIp = QStringLiteral("自动更新IP地址");
    t.exit = QStringLiteral("退出");
    // The string table's text ran two versions of one sentence together; this is the sentence once,
    // saying what the buttons do when nothing is selected.
    t.description = QStringLiteral("***** 功能提示 *****\n"
                                   "@ 点击\"自动更新IP地址\" 可自动为选定的192.168.0.20设备更新IP地址\n"
                                   "  (可自定义IP地址范围；若无选择，则不做任何操作)\n"
                                   "@ 点击\"开始刷新固件\" 可自动为选定的设备刷新固件\n"
                                   "  (若无选择，则不做任何操作)");
    t.upgrade = QStringLiteral("开始刷新固件");
    t.resetDefault = QStringLiteral("还原默认值");
    t.checkVersion = QStringLiteral("查询固件版本");
    t.browse = QStringLiteral("文件浏览");
    t.user = QStringLiteral("登录名");
    t.password = QStringLiteral("密码");
    return t;
}

} // namespace

WindowTexts TextsForCodePage(unsigned codePage) {
    return codePage == 936 ? chineseTexts() : englishTexts();
}
