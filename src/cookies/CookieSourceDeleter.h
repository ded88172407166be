#pragma once
// What the quick clean-up needs of the Cookie Editor to delete cookie sources through it:
// the loaded cookie sources, the editor's source list (read, select and show an entry),
// the deletion of the source the editor shows, and the editor's refresh. The Cookie
// Editor page implements it; the main window hands it out.
#include <cstddef>
#include <string>
#include <vector>

#include "cookies/MCookieEditor.h"

namespace brimlow {

class CookieSourceDeleter {
public:
    virtual ~CookieSourceDeleter() = default;

    // The cookie dump's entries as the last load left them (LoadCookieDump reloads them).
    virtual const std::vector<CookieEntry>& LoadedCookieEntries() const = 0;

    // The entries of the editor's source list ("CE_lstCookieSources").
    virtual std::size_t CookieSourceCount() const = 0;
    virtual std::string CookieSourceText(std::size_t index) const = 0;
    // Selects entry `index` of the source list and shows it (CE_lstCookieSources_Click);
    // an index past the end selects nothing.
    virtual void SelectCookieSource(std::size_t index) = 0;

    // Expires every cookie of the source the editor shows, logging as it goes, with its
    // status line in the progress window; the caller hides the progress window. While it
    // runs, a second call does nothing.
    virtual void DeleteCookieSource() = 0;
    virtual bool DeletionRunning() const = 0;

    // Runs UrlHound for the cookie dump, reloads it and refills the editor's lists.
    virtual void RefreshCookies() = 0;

    // A deletion pass over many sources: between Begin and End, the deletions look at the
    // store again only for the source they change (a source the store has dropped leaves the
    // lists) instead of a whole refresh after every cookie; End refreshes once, when a
    // deletion changed the store. The log and what is deleted stay as without the pass.
    virtual void BeginDeletionPass() = 0;
    virtual void EndDeletionPass() = 0;
};

}  // namespace brimlow
