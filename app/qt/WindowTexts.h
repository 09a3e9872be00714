#pragma once

#include <QString>

// A text of the window in its two languages: Chinese for code page 936, English for every other one.
struct Caption {
    const char* english;
    const char* chinese; // UTF-8

    QString In(unsigned codePage) const { return QString::fromUtf8(codePage == 936 ? chinese : english); }
};

// The main window's template captions in one language.
struct WindowTexts {
    QString caption;
    QString cameraLists;
    QString browse;
    QString networkCard;
    QString deviceModel;
    QString firmwareVersion;
    QString user;
    QString password;
    QString description;
    QString ip;
    QString tilde;
    QString autoChangeIp;
    QString search;
    QString resetDefault;
    QString checkVersion;
    QString upgrade;
    QString exit;
};

// Chinese for code page 936, the template's English for every other one.
WindowTexts TextsForCodePage(unsigned codePage);

inline constexpr const char* kHomePage = "https://github.com/flashwell";

// What the window adds to its template: the "⋯" menu, its dialogs, the questions before a job that
// cannot be undone, and its own lines under the list. A new entry is one line here.
namespace caption {
inline constexpr Caption kMoreToolTip{
    "Login, account presets, model guard, fleet choices, export, job records, cameras away from home, About",
    "登录、账户预设、型号检查、批量选项、导出、作业记录、未回原地址的设备、关于"};
inline constexpr Caption kSetLogin{"Set Login...", "设置登录..."};
inline constexpr Caption kAccount{"Account", "账户"};
inline constexpr Caption kAllowOtherModels{"Allow other models", "允许其他型号"};
inline constexpr Caption kCamerasAtOnce{"Cameras at once...", "同时处理的设备数..."};
inline constexpr Caption kCamerasAtOnceLabel{
    "Cameras uploading at once, and asked at once by \"Check Version\" (0: uploads all at once, versions one "
    "after another):",
    "同时上传固件的设备数，也是“检查版本”同时询问的设备数（0：全部同时上传，逐台检查版本）："};
inline constexpr Caption kSkipCurrent{"Skip cameras already at this version", "跳过已是此版本的设备"};
inline constexpr Caption kFirstWave{"First wave...", "首批设备..."};
inline constexpr Caption kFirstWaveLabel{
    "Cameras in the first wave, in list order: the rest get the image only when all of them upgraded (0: no "
    "first wave):",
    "首批设备数（按列表顺序）：只有首批全部升级成功后，其余设备才会收到固件（0：不分批）："};
inline constexpr Caption kExportList{"Export list...", "导出列表..."};
inline constexpr Caption kJobRecords{"Job records", "作业记录"};
inline constexpr Caption kAbout{"About Flashwell...", "关于 Flashwell..."};
inline constexpr Caption kAwayFromHome{"Cameras away from home...", "未回原地址的设备..."};
inline constexpr Caption kAwayTitle{"Cameras away from home", "未回原地址的设备"};
inline constexpr Caption kNoneAway{"No camera is away from home.", "没有设备停留在原地址之外。"};
inline constexpr Caption kSomeAway{
    "Away from home after an earlier job: %1. Each start of Flashwell sends them home where a search shows them. "
    "Forget only a camera that has left this bench: its way home is then lost.",
    "之前的作业后未回原地址的设备：%1 台。每次启动 Flashwell 时，搜索到的设备都会被送回原地址。"
    "只有已离开此工作台的设备才应忘记：忘记后其回家的路径将丢失。"};
inline constexpr Caption kAwayLine{"%1 (%2) at %3, home %4 on %5, since %6", "%1（%2）在 %3，原地址 %4（%5），自 %6"};
inline constexpr Caption kSinceUnknown{"(not known)", "（未知）"};
inline constexpr Caption kForgetChosen{"Forget the chosen ones", "忘记所选设备"};
inline constexpr Caption kNotForgotten{"Nothing was forgotten: %1", "未忘记任何设备：%1"};

inline constexpr Caption kOk{"OK", "确定"};
inline constexpr Caption kCancel{"Cancel", "取消"};
inline constexpr Caption kClose{"Close", "关闭"};
inline constexpr Caption kYes{"Yes", "是"};
inline constexpr Caption kNo{"No", "否"};

inline constexpr Caption kAboutTitle{"About Flashwell v2.0", "关于 Flashwell v2.0"};
inline constexpr Caption kAboutName{"Flashwell v2.0", "Flashwell v2.0"};
inline constexpr Caption kAboutRelease{"Release %1 of this program", "本程序的版本为 %1"};
inline constexpr Caption kAboutOriginal{"(v2.0 is the version of the original tool)", "（v2.0 是原版工具的版本号）"};

inline constexpr Caption kExportTitle{"Export list", "导出列表"};
inline constexpr Caption kCsvFiles{"CSV files (*.csv)", "CSV 文件 (*.csv)"};
inline constexpr Caption kExported{"List exported to %1", "列表已导出到 %1"};
inline constexpr Caption kCannotWrite{"Cannot write %1", "无法写入 %1"};
inline constexpr Caption kRecordsShown{"Job records are in %1", "作业记录位于 %1"};
inline constexpr Caption kNoFileManager{"No file manager could open the folder of job records: %1",
                                        "没有文件管理器能打开作业记录文件夹：%1"};
inline constexpr Caption kNoRecordsFolder{"No folder for job records: HOME is not set",
                                          "没有作业记录文件夹：未设置 HOME"};
inline constexpr Caption kCannotCreate{"Cannot create %1", "无法创建 %1"};

inline constexpr Caption kGuardLifted{"Allow other models is on: upgrades flash cameras of every model",
                                      "“允许其他型号”已开启：升级时不检查设备型号"};
inline constexpr Caption kNoteJoin{"; ", "；"};
inline constexpr Caption kAtOnceOn{"%1 cameras at once", "同时处理 %1 台设备"};
inline constexpr Caption kSkipCurrentOn{"cameras already at this version are skipped", "跳过已是此版本的设备"};
inline constexpr Caption kFirstWaveOn{"a first wave of %1", "首批 %1 台设备"};
inline constexpr Caption kNoBrowser{"No web browser could be started: open %1 yourself",
                                    "无法启动网页浏览器：请手动打开 %1"};
inline constexpr Caption kModelMismatchTip{"camera %1, image %2", "设备型号 %1，固件型号 %2"};
inline constexpr Caption kStillAwayTip{"Still away from home at %1: the next start of Flashwell sends it home",
                                       "仍在链路本地地址 %1，尚未回到原地址：下次启动 Flashwell 时会将其送回"};

inline constexpr Caption kResetOne{"Reset %1 camera to factory defaults? Its address, password and settings are lost.",
                                   "将 %1 台设备还原为出厂默认值？其IP地址、密码和设置将全部丢失。"};
inline constexpr Caption kResetMany{
    "Reset %1 cameras to factory defaults? Their addresses, passwords and settings are lost.",
    "将 %1 台设备还原为出厂默认值？其IP地址、密码和设置将全部丢失。"};
inline constexpr Caption kAutoIpOne{"Give %1 camera at 192.168.0.20 an address of its own from the range %2~%3?",
                                    "为 %1 台IP地址为192.168.0.20的设备分配范围 %2~%3 内的新IP地址？"};
inline constexpr Caption kAutoIpMany{"Give %1 cameras at 192.168.0.20 addresses of their own from the range %2~%3?",
                                     "为 %1 台IP地址为192.168.0.20的设备分配范围 %2~%3 内的新IP地址？"};
inline constexpr Caption kMoreCameras{"and %1 more", "另有 %1 台"};
inline constexpr Caption kModelColumn{"Model", "型号"};
inline constexpr Caption kVersionColumn{"Version", "版本"};
inline constexpr Caption kRangeTip{
    "Auto Change IP hands out the host numbers from the first up to the last, in turn, skipping those a camera or "
    "a station holds; the last itself is never handed out",
    "自动更新IP地址按顺序分配从起始到结束的主机号，跳过已被设备或其他主机占用的地址；结束值本身从不分配"};
inline constexpr Caption kAutoIpGets{"%1  →  %2", "%1  →  %2"};
inline constexpr Caption kNoAddressLeft{"no address left in the range", "范围内已无空闲地址"};
inline constexpr Caption kAutoIpAbout{"About: an address that a station answers for on the network is skipped.",
                                      "地址仅供参考：网络上已有主机应答的地址会被跳过。"};
inline constexpr Caption kResetDeclined{"Nothing was done: the reset was not confirmed.",
                                        "未做任何操作：未确认还原默认值。"};
inline constexpr Caption kAutoIpDeclined{"Nothing was done: the new addresses were not confirmed.",
                                         "未做任何操作：未确认更新IP地址。"};
inline constexpr Caption kNoFactoryCamera{"Nothing was done: none of the selected cameras is at 192.168.0.20.",
                                          "未做任何操作：选定的设备中没有IP地址为192.168.0.20的设备。"};
} // namespace caption
