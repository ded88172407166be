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

// Hands the address to the desktop; the outcome is not looked at.
inline void OpenWebAddress(const Platform& platform, const std::string& address)
{
    if (platform.browser)
        platform.browser->Open(address);
}

}  // namespace brimlow
