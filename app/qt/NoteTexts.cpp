#include "app/qt/NoteTexts.h"

#include <QRegularExpression>
#include <vector>

namespace {

struct NoteRule {
    QRegularExpression english;
    QString chinese; // \1, \2 ... stand for the captured parts
};

const std::vector<NoteRule>& rules() {
    static const std::vector<NoteRule> table = [] {
        const std::pair<const char*, const char*> rows[] = {
            {R"(Nothing was done: no camera is selected\.)", "未做任何操作：没有选定设备。"},
            {R"(Nothing was done: no thread could be started for the workflow\.)", "未做任何操作：无法启动作业线程。"},
            {R"(Nothing was done: Cannot read the firmware file (.+)\.)", "未做任何操作：无法读取固件文件 \\1。"},
            {R"(Nothing was done: The firmware file (.+) is too short to hold an image header \((\d+) bytes\): )"
             R"(nothing was sent\.+)",
             "未做任何操作：固件文件 \\1 太短，不足以容纳固件头（\\2 字节），未发送任何内容。"},
            {R"(This job is not recorded: )", "本次作业未被记录："},
            {R"((\d+) cameras? (?:was|were) still rebooting at a link-local address when the job ended; the next )"
             R"(start of Flashwell sends them home\.)",
             "作业结束时仍有 \\1 台设备在链路本地地址上重启；下次启动 Flashwell 时会将其送回原地址。"},
            {R"(Auto Change IP: the range (.*)~(.*) had no free address left for (\d+) cameras? at )"
             R"(192\.168\.0\.20 \(its end is never handed out\)\.)",
             "自动更新IP地址：范围 \\1~\\2 已无空闲地址，还有 \\3 "
             "台192.168.0.20的设备未更新（范围的最后一个地址不会分配）。"},
            {R"(The addresses of (\S+) changed during the job \(from (.*?) to (.*?)\), not by Flashwell; they were )"
             R"(left as they are\.)",
             "作业期间 \\1 的地址已被更改（从 \\2 改为 \\3），并非 Flashwell 所为；已保持原样。"},
            {R"(No CAP_NET_ADMIN or CAP_NET_RAW: cameras that need a link-local detour are reached only where this )"
             R"(computer already routes 169\.254\.0\.0/16 \(join group flashwell, or run as root\)(\. )?)",
             "缺少 CAP_NET_ADMIN 和 CAP_NET_RAW：只有本机已有 169.254.0.0/16 路由时才能经链路本地地址访问设备"
             "（请加入 flashwell 组，或以 root 运行）\\1"},
            {R"(No CAP_NET_ADMIN: cameras that need a link-local detour are reached only where this computer )"
             R"(already routes 169\.254\.0\.0/16 \(join group flashwell, or run as root\)(\. )?)",
             "缺少 CAP_NET_ADMIN：只有本机已有 169.254.0.0/16 路由时才能经链路本地地址访问设备"
             "（请加入 flashwell 组，或以 root 运行）\\1"},
            {R"(No CAP_NET_RAW: free link-local addresses are found through the neighbour table instead of ARP, )"
             R"(and pings work only where net\.ipv4\.ping_group_range allows them \(join group flashwell, or run as )"
             R"(root\)(\. )?)",
             "缺少 CAP_NET_RAW：空闲的链路本地地址改由邻居表而非 ARP 查找，且只有 net.ipv4.ping_group_range "
             "允许时才能 ping（请加入 flashwell 组，或以 root 运行）\\1"},
            {R"(At start-up: sent (.+) \(([0-9a-f:]{17})\) from (\S+) back to (\S+), where an earlier job had to )"
             R"(leave it)",
             "启动时：已将 \\1（\\2）从 \\3 送回 \\4，之前的作业未能将其送回"},
            {R"(At start-up: removed the link-local route an earlier run had added on (\S+))",
             "启动时：已删除之前运行时在 \\1 上添加的链路本地路由"},
            {R"(At start-up: sent (\d+) cameras back to their own addresses and removed (\d+) link-local routes )"
             R"(that earlier jobs had left)",
             "启动时：已将 \\1 台设备送回原地址，并删除了之前作业遗留的 \\2 条链路本地路由"},
            {R"(At start-up: )", "启动时："},
            {R"((\d+) of (\d+) done, (\d+) failed, about (\d+) min left)", "已完成 \\1/\\2，失败 \\3，约剩 \\4 分钟"},
            {R"((\d+) of (\d+) done, (\d+) failed, about (\d+) s left)", "已完成 \\1/\\2，失败 \\3，约剩 \\4 秒"},
            {R"((\d+) of (\d+) done, (\d+) failed)", "已完成 \\1/\\2，失败 \\3"},
        };
        std::vector<NoteRule> built;
        for (const auto& [english, chinese] : rows)
            built.push_back({QRegularExpression(QString::fromUtf8(english)), QString::fromUtf8(chinese)});
        return built;
    }();
    return table;
}

} // namespace

QString NoteInLanguage(const QString& english, unsigned codePage) {
    if (codePage != 936)
        return english;
    QString text = english;
    for (const NoteRule& rule : rules())
        text.replace(rule.english, rule.chinese);
    // The start-up's two notes are joined by ". "; in Chinese the first ends with its own full stop.
    return text.replace(QStringLiteral("）. "), QStringLiteral("）。"));
}
