// Logins cut between characters, and network texts made safe for a terminal.
#include <gtest/gtest.h>

#include "discovery/WireProtocol.h"
#include "util/Utf8.h"

TEST(Utf8Test, LoginsAreCutBetweenCharacters) {
    EXPECT_EQ(CutUtf8("password", 4), "pass");
    EXPECT_EQ(CutUtf8("pässwörd", 3), "päs") << "characters, not bytes";
    EXPECT_EQ(CutUtf8("äääää", 99, 5), "ää") << "a byte limit never splits a character";
    EXPECT_EQ(CutUtf8("a😀b", 2), "a") << "a character beyond the basic plane counts two";
    EXPECT_EQ(CutUtf8("a😀b", 3), "a😀");
    EXPECT_EQ(CutUtf8("\xff\xfe", 1), "\xff") << "a stray byte is a character of its own";

    // The set-network command's 64-byte fields hold 63 bytes: a long UTF-8 password is cut whole.
    SetNetworkCommand c;
    c.hasCredentials = true;
    c.password = std::string(62, 'p') + "é";
    auto bytes = c.build();
    SetNetworkCommand back;
    ASSERT_EQ(SetNetworkCommand::parse({bytes.data(), kAdapterDatagramLength}, back), ParseStatus::Ok);
    EXPECT_EQ(back.password, std::string(62, 'p')) << "no half character on the wire";
}

TEST(Utf8Test, NetworkTextsReachATerminalWithoutControlCharacters) {
    EXPECT_EQ(Printable("Lobby"), "Lobby");
    EXPECT_EQ(Printable("\x1b[2J\x1b]0;pwn\x07"), "?[2J?]0;pwn?");
    EXPECT_EQ(Printable("a\r\nb\tc\x7f"), "a??b?c?");
    EXPECT_EQ(Printable("\xc2\x9b"
                        "31m"),
              "?31m")
        << "the C1 escape too";
    EXPECT_EQ(Printable("caf\xc3\xa9"), "café");
    EXPECT_EQ(Printable("\xff"), "\xef\xbf\xbd") << "invalid UTF-8 shows as a replacement character";
    EXPECT_EQ(Printable("abcdef", 3), "abc...");
}

// Console columns were padded by bytes: a Chinese name (three bytes, two columns a character)
// pushed every column after it out of line, and a cut line could still wrap.
TEST(Utf8Test, TerminalColumnsCountWideCharactersTwiceAndMarksNotAtAll) {
    EXPECT_EQ(DisplayWidth("Lobby"), 5u);
    EXPECT_EQ(DisplayWidth("\xE5\xA4\xA7\xE9\x97\xA8"), 4u) << "two CJK characters";
    EXPECT_EQ(DisplayWidth("Kamera \xC3\xA4"), 8u);
    EXPECT_EQ(DisplayWidth("e\xCC\x81"), 1u) << "a combining accent takes no column";
    EXPECT_EQ(PadToColumns("\xE5\xA4\xA7\xE9\x97\xA8", 6), "\xE5\xA4\xA7\xE9\x97\xA8  ");
    EXPECT_EQ(PadToColumns("abcdef", 6), "abcdef ") << "a full column still ends in a space";
    EXPECT_EQ(CutToColumns("\xE5\xA4\xA7\xE9\x97\xA8", 3), "\xE5\xA4\xA7") << "never half a wide character";
    EXPECT_EQ(CutToColumns("ab\xff", 3), "ab\xff") << "a stray byte counts one column";
}
