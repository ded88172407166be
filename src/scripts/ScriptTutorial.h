#pragma once
// The Script Editor's tutorial text, put into its tutorial box at start.

namespace brimlow {

// The text put into the Script Editor's tutorial box at start: every line ends with CR LF,
// the first is empty, and the spaces at either end are part of the text.
inline constexpr const char* kTutorialText =
    "\r\n"
    "              QUICK TUTORIAL\r\n"
    "\r\n"
    "STEP 1\r\n"
    "    Enter a name for the new script under \"Script being edited:\".\r\n"
    "\r\n"
    "STEP 2\r\n"
    "    Select the application you want to send keystrokes to under \"Targeted Application:\".\r\n"
    "\r\n"
    "STEP 3\r\n"
    "    In the \"Key Strokes:\" text box, enter the key stroke you want sent, bearing in mind that hot keys require both the [Alt] and the character key to be pressed.  To enter the [Alt] key, press the [Alt] button.\r\n"
    "\r\n"
    "STEP 4\r\n"
    "    Pres the [Next] button.\r\n"
    "\r\n"
    "STEP 5\r\n"
    "    Repeat steps 3 and 4 untill you have entered every key stroke you want sent.\r\n"
    "\r\n"
    "STEP 6\r\n"
    "    Press the [Test Script] button to make sure the script functions as you expect.\r\n"
    "\r\n"
    "STEP 7\r\n"
    "    Press the [Save] button to save the script.\r\n"
    "\r\n"
    " *NOTE - The [PAUSE] button is deisgned to create a delay between commands. It should be followed immediately by the number of seconds you wish to pause before continuing.\r\n"
    "         Syntax:  [PAUSE]# \r\n"
    "         Example: [PAUSE]3\r\n"
    "\r\n";

}  // namespace brimlow
