#include "webops/OperatorMessages.h"

namespace {

struct Message {
    const char* english;
    const char* chinese;
};

constexpr Message kMessages[kOperatorMessageCount] = {
    {"Starting to upload firmware", "固件上传中"},
    {"Starting upgrade process", "开始更新中"},
    {"The same firmware", "固件已经为最新版，无需更新"},
    {"Device Model not matched", "设备种类不同"},
    {"Different LAN segment", "网域不同无法更新"},
    {"Wi-Fi interface.", "此为无线接口"},
    {"UPGRADE SUCCESSFUL", "固件更新完成"},
    {"Please select firmware first !!", "请先选择固件!!!"},
    {"No firmware assigned", "无选择固件"},
    {"This will UPGRADE ALL DEVICES, OK or NOT?", "是否刷新所有设备?"},
    {"This will RESET ALL DEVICES, OK or NOT?", "是否将所有设备还原出厂默认值?"},
    {"RESET to Default and REBOOTING", "恢复默认值并重启设备!"},
    {"Failed to upgrade!", "更新失败，请重新更新!"},
    {"Restarting to upload firmware", "固件重新上传中!"},
    {"Device offline!", "设备不在线!"},
};

} // namespace

const char* GetOperatorMessage(OperatorMessageId message, unsigned codePage) {
    const auto id = static_cast<int>(message);
    if (id < 0 || id >= kOperatorMessageCount)
        return "";
    return codePage == 936 ? kMessages[id].chinese : kMessages[id].english;
}
