// Texts kept typed until shown: each front end renders them in its language, records keep English.
#include <gtest/gtest.h>
#include <map>
#include <string>

#include "util/Text.h"

namespace {

TEST(TextTest, PatternsAreTranslatedAndArgumentsAreNot) {
    const std::map<std::string, std::string> catalogue{
        {"Nothing was done: %1.", "X: %1!"}, {"no camera is selected", "none"}, {"%1; %2", "%2 / %1"}};
    const Text::Translate translate = [&](const char*, const char* pattern) {
        const auto it = catalogue.find(pattern);
        return it == catalogue.end() ? std::string(pattern) : it->second;
    };
    const Text refusal = Note("Nothing was done: %1.", {Note("no camera is selected")});
    EXPECT_EQ(refusal.English(), "Nothing was done: no camera is selected.");
    EXPECT_EQ(refusal.In(translate), "X: none!");
    // A camera's name is a literal: never looked up, and a %2 in it is not a place for an argument.
    const Text named = Note("%1; %2", {"no camera is selected", "Cam %2%"});
    EXPECT_EQ(named.English(), "no camera is selected; Cam %2%");
    EXPECT_EQ(named.In(translate), "Cam %2% / no camera is selected");
    EXPECT_EQ(Note("Upgrade Status... %1%", {"40"}).English(), "Upgrade Status... 40%");
    EXPECT_EQ(Note("%1 of %2", {"3"}).English(), "3 of %2") << "a missing argument stays visible";
    EXPECT_EQ(Joined({"a", "b", "c"}, "Note", "%1; %2").In(translate), "c / b / a");
    EXPECT_TRUE(Joined({}, "Note", "%1; %2").empty());
    EXPECT_TRUE(Text().empty());
    EXPECT_FALSE(Note("%1", {"x"}).empty());
}

} // namespace
