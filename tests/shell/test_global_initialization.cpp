// Start-up text that the shell hands to the Script Editor page.
#include <gtest/gtest.h>
#include <string>

#include "shell/MGlobalInitialization.h"

TEST(TutorialText, KeepsItsLineEndsAndSpaces)
{
    const std::string t = brimlow::kTutorialText;
    EXPECT_EQ(t.substr(0, 40), std::string("\r\n              QUICK TUTORIAL\r\n\r\nSTEP 1\r\n").substr(0, 40));
    EXPECT_EQ(t.size(), 950u);
    EXPECT_NE(t.find("\r\n    Enter a name for the new script under \"Script being edited:\".\r\n\r\nSTEP 2\r\n"),
              std::string::npos);
    EXPECT_NE(t.find("to be pressed.  To enter the [Alt] key"), std::string::npos);
    EXPECT_NE(t.find("\r\n    Pres the [Next] button.\r\n"), std::string::npos);
    const std::string end = "\r\n         Syntax:  [PAUSE]# \r\n         Example: [PAUSE]3\r\n\r\n";
    EXPECT_EQ(t.substr(t.size() - end.size()), end);
    EXPECT_EQ(t.find('\n') , 1u);
    // Every line feed follows a carriage return.
    for (std::size_t i = t.find('\n'); i != std::string::npos; i = t.find('\n', i + 1))
        EXPECT_EQ(t[i - 1], '\r') << i;
}
