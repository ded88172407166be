#pragma once
// Page pictures that more than one page shows.
#include <QPixmap>

namespace brimlow {

// A cookie with a bite out of it: the Cookie Editor's and the Bleach Utility's page icon.
QPixmap CookiePageIcon(int size);

}  // namespace brimlow
