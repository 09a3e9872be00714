// Operator messages in both languages, written out here independently of the program's table.
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "webops/OperatorMessages.h"

TEST(OperatorMessagesTest, EnglishAndChineseTexts) {
    const std::pair<const char*, const char*> messages[] = {
        {"Starting to upload firmware", "固件上传中"},
        {"Starting upgrade process", "开始更新中"},
        {"The same firmware", "固件已经为最新版\uFF0C无需更新"},
        {"Device Model not matched", "设备种类不同"},
        {"Different LAN segment", "网域不同无法更新"},
        {"Wi-Fi interface.", "此为无线接口"},
        {"UPGRADE SUCCESSFUL", "固件更新完成"},
        {"Please select firmware first !!", "请先选择固件!!!"},
        {"No firmware assigned", "无选择固件"},
        {"This will UPGRADE ALL DEVICES, OK or NOT?", "是否刷新所有设备?"},
        {"This will RESET ALL DEVICES, OK or NOT?", "是否将所有设备还原出厂默认值?"},
        {"RESET to Default and REBOOTING", "恢复默认值并重启设备!"},
        {"Failed to upgrade!", "更新失败\uFF0C请重新更新!"},
        {"Restarting to upload firmware", "固件重新上传中!"},
        {"Device offline!", "设备不在线!"},
    };
    for (int id = 0; id < 15; ++id) {
        SCOPED_TRACE("message " + std::to_string(id));
        EXPECT_STREQ(GetOperatorMessage(static_cast<OperatorMessageId>(id), 936), messages[id].second);
        for (unsigned codePage : {437u, 850u, 950u, 0u})
            EXPECT_STREQ(GetOperatorMessage(static_cast<OperatorMessageId>(id), codePage), messages[id].first)
                << "code page " << codePage;
    }
    for (int id : {-1, 15, 1000}) {
        EXPECT_STREQ(GetOperatorMessage(static_cast<OperatorMessageId>(id), 936), "") << "id " << id;
        EXPECT_STREQ(GetOperatorMessage(static_cast<OperatorMessageId>(id), 437), "") << "id " << id;
    }
}
