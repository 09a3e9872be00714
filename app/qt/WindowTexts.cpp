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
    t.description = QStringLiteral("***** Function Description *****\n"
                                   "\"Auto Change IP\" : Auto change device IP address which using '192.168.0.20' "
                                   "with predefined IP range\n"
                                   "\"Starting Upgrade\" : Auto upgrade firmware to selected devices (Upgrade all "
                                   "devices if no one selected)");
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
    t.description = QStringLiteral("***** 功能提示 *****\n"
                                   "@ 点击\"自动更新IP地址\" 可自动为192.168.0.20的设备更新IP地址 \n"
                                   "  (可自定义IP地址范围)\n"
                                   "@ 点击\"开始刷新固件\" 可自动为选定的设备刷新固件 \n"
                                   "  (若无选择，则全部更新)新固件\" 可自動為選定的設備刷新固件 \n"
                                   "  (若無選擇，則全部更新)");
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
