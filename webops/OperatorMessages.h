#pragma once

// The catalogue's ids, in its order.
enum class OperatorMessageId : int {
    StartingUpload = 0,
    StartingUpgrade = 1,
    SameFirmware = 2,
    ModelNotMatched = 3,
    DifferentSegment = 4,
    WifiInterface = 5,
    UpgradeSuccessful = 6,
    SelectFirmwareFirst = 7,
    NoFirmwareAssigned = 8,
    UpgradeAllQuestion = 9,
    ResetAllQuestion = 10,
    ResetAndRebooting = 11,
    FailedToUpgrade = 12,
    RestartingUpload = 13,
    DeviceOffline = 14,
};

inline constexpr int kOperatorMessageCount = 15;

// Looks up an operator message: Chinese for code page 936, English for every other one.
// Texts are UTF-8 constants; an id outside the catalogue gives the empty text.
const char* GetOperatorMessage(OperatorMessageId id, unsigned codePage);
