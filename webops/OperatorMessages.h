#pragma once

// Looks up an operator message: Chinese for code page 936, English for every other one.
// Texts are UTF-8 constants; an id outside 0..14 gives the empty text.
const char* GetOperatorMessage(int id, unsigned codePage);

inline constexpr int kOperatorMessageCount = 15;
