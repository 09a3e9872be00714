#pragma once

#include <QCoreApplication>
#include <QString>

// A text of the window: its English, and the window's language through the translator installed.
struct Caption {
    const char* english;

    QString Tr() const { return QCoreApplication::translate("Window", english); }
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

// The template's captions in the language of the translator installed.
WindowTexts TranslatedTexts();

inline constexpr const char* kHomePage = "https://github.com/flashwell";

// What the window adds to its template: the "⋯" menu, its dialogs, the questions before a job that
// cannot be undone, and its own lines under the list. A new entry is one line here.
namespace caption {
inline constexpr Caption kMoreToolTip{QT_TRANSLATE_NOOP(
    "Window",
    "Login, account presets, model guard, fleet choices, export, job records, cameras away from home, About")};
inline constexpr Caption kSetLogin{QT_TRANSLATE_NOOP("Window", "Set Login...")};
inline constexpr Caption kAccount{QT_TRANSLATE_NOOP("Window", "Account")};
inline constexpr Caption kAllowOtherModels{QT_TRANSLATE_NOOP("Window", "Allow other models")};
inline constexpr Caption kCamerasAtOnce{QT_TRANSLATE_NOOP("Window", "Cameras at once...")};
inline constexpr Caption kCamerasAtOnceLabel{QT_TRANSLATE_NOOP(
    "Window", "Cameras uploading at once, and asked at once by \"Check Version\" (0: uploads all at once, versions one "
              "after another):")};
inline constexpr Caption kSkipCurrent{QT_TRANSLATE_NOOP("Window", "Skip cameras already at this version")};
inline constexpr Caption kFirstWave{QT_TRANSLATE_NOOP("Window", "First wave...")};
inline constexpr Caption kFirstWaveLabel{QT_TRANSLATE_NOOP(
    "Window", "Cameras in the first wave, in list order: the rest get the image only when all of them upgraded (0: no "
              "first wave):")};
inline constexpr Caption kExportList{QT_TRANSLATE_NOOP("Window", "Export list...")};
inline constexpr Caption kJobRecords{QT_TRANSLATE_NOOP("Window", "Job records")};
inline constexpr Caption kAbout{QT_TRANSLATE_NOOP("Window", "About Flashwell...")};
inline constexpr Caption kAwayFromHome{QT_TRANSLATE_NOOP("Window", "Cameras away from home...")};
inline constexpr Caption kAwayTitle{QT_TRANSLATE_NOOP("Window", "Cameras away from home")};
inline constexpr Caption kNoneAway{QT_TRANSLATE_NOOP("Window", "No camera is away from home.")};
inline constexpr Caption kSomeAway{QT_TRANSLATE_NOOP(
    "Window",
    "Away from home after an earlier job: %1. Each start of Flashwell sends them home where a search shows them. "
    "Forget only a camera that has left this bench: its way home is then lost.")};
inline constexpr Caption kAwayLine{QT_TRANSLATE_NOOP("Window", "%1 (%2) at %3, home %4 on %5, since %6")};
inline constexpr Caption kSinceUnknown{QT_TRANSLATE_NOOP("Window", "(not known)")};
inline constexpr Caption kForgetChosen{QT_TRANSLATE_NOOP("Window", "Forget the chosen ones")};
inline constexpr Caption kNotForgotten{QT_TRANSLATE_NOOP("Window", "Nothing was forgotten: %1")};

inline constexpr Caption kOk{QT_TRANSLATE_NOOP("Window", "OK")};
inline constexpr Caption kCancel{QT_TRANSLATE_NOOP("Window", "Cancel")};
inline constexpr Caption kClose{QT_TRANSLATE_NOOP("Window", "Close")};
inline constexpr Caption kYes{QT_TRANSLATE_NOOP("Window", "Yes")};
inline constexpr Caption kNo{QT_TRANSLATE_NOOP("Window", "No")};

inline constexpr Caption kAboutTitle{QT_TRANSLATE_NOOP("Window", "About Flashwell v2.0")};
inline constexpr Caption kAboutName{QT_TRANSLATE_NOOP("Window", "Flashwell v2.0")};
inline constexpr Caption kAboutRelease{QT_TRANSLATE_NOOP("Window", "Release %1 of this program")};
inline constexpr Caption kAboutOriginal{QT_TRANSLATE_NOOP("Window", "(v2.0 is the version of the original tool)")};

inline constexpr Caption kExportTitle{QT_TRANSLATE_NOOP("Window", "Export list")};
inline constexpr Caption kCsvFiles{QT_TRANSLATE_NOOP("Window", "CSV files (*.csv)")};
inline constexpr Caption kExported{QT_TRANSLATE_NOOP("Window", "List exported to %1")};
inline constexpr Caption kCannotWrite{QT_TRANSLATE_NOOP("Window", "Cannot write %1")};
inline constexpr Caption kRecordsShown{QT_TRANSLATE_NOOP("Window", "Job records are in %1")};
inline constexpr Caption kNoFileManager{
    QT_TRANSLATE_NOOP("Window", "No file manager could open the folder of job records: %1")};
inline constexpr Caption kNoRecordsFolder{QT_TRANSLATE_NOOP("Window", "No folder for job records: HOME is not set")};
inline constexpr Caption kCannotCreate{QT_TRANSLATE_NOOP("Window", "Cannot create %1")};

inline constexpr Caption kGuardLifted{
    QT_TRANSLATE_NOOP("Window", "Allow other models is on: upgrades flash cameras of every model")};
inline constexpr Caption kNoteJoin{QT_TRANSLATE_NOOP("Window", "; ")};
inline constexpr Caption kAtOnceOn{QT_TRANSLATE_NOOP("Window", "%1 cameras at once")};
inline constexpr Caption kSkipCurrentOn{QT_TRANSLATE_NOOP("Window", "cameras already at this version are skipped")};
inline constexpr Caption kFirstWaveOn{QT_TRANSLATE_NOOP("Window", "a first wave of %1")};
inline constexpr Caption kNoBrowser{QT_TRANSLATE_NOOP("Window", "No web browser could be started: open %1 yourself")};
inline constexpr Caption kModelMismatchTip{QT_TRANSLATE_NOOP("Window", "camera %1, image %2")};
inline constexpr Caption kStillAwayTip{
    QT_TRANSLATE_NOOP("Window", "Still away from home at %1: the next start of Flashwell sends it home")};

inline constexpr Caption kResetOne{
    QT_TRANSLATE_NOOP("Window", "Reset %1 camera to factory defaults? Its address, password and settings are lost.")};
inline constexpr Caption kResetMany{QT_TRANSLATE_NOOP(
    "Window", "Reset %1 cameras to factory defaults? Their addresses, passwords and settings are lost.")};
inline constexpr Caption kAutoIpOne{
    QT_TRANSLATE_NOOP("Window", "Give %1 camera at 192.168.0.20 an address of its own from the range %2~%3?")};
inline constexpr Caption kAutoIpMany{
    QT_TRANSLATE_NOOP("Window", "Give %1 cameras at 192.168.0.20 addresses of their own from the range %2~%3?")};
inline constexpr Caption kMoreCameras{QT_TRANSLATE_NOOP("Window", "and %1 more")};
inline constexpr Caption kModelColumn{QT_TRANSLATE_NOOP("Window", "Model")};
inline constexpr Caption kVersionColumn{QT_TRANSLATE_NOOP("Window", "Version")};
inline constexpr Caption kRangeTip{QT_TRANSLATE_NOOP(
    "Window",
    "Auto Change IP hands out the host numbers from the first up to the last, in turn, skipping those a camera or "
    "a station holds; the last itself is never handed out")};
inline constexpr Caption kAutoIpGets{QT_TRANSLATE_NOOP("Window", "%1  →  %2")};
inline constexpr Caption kNoAddressLeft{QT_TRANSLATE_NOOP("Window", "no address left in the range")};
inline constexpr Caption kAutoIpAbout{
    QT_TRANSLATE_NOOP("Window", "About: an address that a station answers for on the network is skipped.")};
inline constexpr Caption kResetDeclined{QT_TRANSLATE_NOOP("Window", "Nothing was done: the reset was not confirmed.")};
inline constexpr Caption kAutoIpDeclined{
    QT_TRANSLATE_NOOP("Window", "Nothing was done: the new addresses were not confirmed.")};
inline constexpr Caption kNoFactoryCamera{
    QT_TRANSLATE_NOOP("Window", "Nothing was done: none of the selected cameras is at 192.168.0.20.")};
inline constexpr Caption kCloseRunning{QT_TRANSLATE_NOOP("Window", "A job is running")};
inline constexpr Caption kCloseRunningCameras{QT_TRANSLATE_NOOP("Window", "A job is running (cameras %1)")};
inline constexpr Caption kCamerasIn{QT_TRANSLATE_NOOP("Window", "%1 %2")};
inline constexpr Caption kListJoin{QT_TRANSLATE_NOOP("Window", ", ")};
inline constexpr Caption kCloseAnyway{
    QT_TRANSLATE_NOOP("Window", ". Close anyway? Cameras that can hear it are sent back to their own addresses first; "
                                "one that is burning or rebooting is kept in the journal and sent home at the next "
                                "start.")};
inline constexpr Caption kClosing{QT_TRANSLATE_NOOP("Window", "Closing: sending the cameras home first...")};
inline constexpr Caption kAwayAtClose{
    QT_TRANSLATE_NOOP("Window", "These cameras were not seen back at their own addresses before closing; their way "
                                "home is kept in the journal and the next start of Flashwell sends them home:")};
} // namespace caption
