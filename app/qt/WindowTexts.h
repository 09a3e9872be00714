#pragma once

#include <QString>

// The main window's captions in one language.
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
