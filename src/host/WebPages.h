#pragma once
// The maker's web pages and handing an address to the desktop: the Help menu, the about box
// and the Script Editor's "latest scripts" link all open them.
#include <string>

#include "platform/Platform.h"

namespace brimlow {

// The maker's pages. The support page is also the Script Editor's "latest scripts" link.
inline constexpr const char* kHomePage = "http://www.brimlow.example/";
inline constexpr const char* kWebHelpPage = "http://www.brimlow.example/help/brimlow.htm";
inline constexpr const char* kSupportPage = "http://www.brimlow.example/support.asp";
inline constexpr const char* kFeedbackPage = "http://www.brimlow.example/feedback.asp";
inline constexpr const char* kMailLink = "mailto:support@brimlow.example";

// Hands the address to the desktop. When nothing can open it (no web browser, or no mail
// program for a mail address), a message says so instead of nothing happening.
inline void OpenWebAddress(const Platform& platform, const std::string& address)
{
    if (platform.browser && platform.browser->Open(address))
        return;
    if (!platform.dialogs)
        return;
    const bool mail = address.rfind("mailto:", 0) == 0;
    platform.dialogs->MsgBox(std::string(mail ? "No mail program" : "No web browser") +
                                 " could be started for this address:\r\n" + address +
                                 "\r\n\r\nSet one up for the desktop, or open the address yourself.",
                             kProgramTitle, MsgBoxButtons::Ok, MsgBoxIcon::Information);
}

}  // namespace brimlow
