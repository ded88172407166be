#pragma once
// What a page of the main window may reach outside itself. frmMain implements it and hands
// it to every page; a test hands a FakePageHost (tests/support) and tests the page alone.
// A page never holds frmMain or another page: it asks its host.
//
// How a page offers something to other pages: write a small interface of its own beside this
// file (host/CookieSources.h, say: only the calls the other pages make), let the page class
// implement it, add one accessor here that returns it by reference (`virtual CookieSources&
// cookieSources() = 0;`), have frmMain return its page (`return *m_ce;`), and give FakePageHost
// a recording fake of it. Pages then include the interface and this file, never each other.
#include <array>

namespace brimlow {

class ActivityReports;
class frmRefreshingCache;

class PageHost {
public:
    // The pages in tab order.
    enum Page { kQuickCleanUp = 0, kScriptEditor, kUrlHound, kCookieEditor, kBleachUtility, kActivityReport };
    static constexpr int kPageCount = 6;
    // The two-letter codes that begin the names of each page's controls, in page order.
    static constexpr std::array<const char*, kPageCount> kPageCodes{"QC", "SE", "UH", "CE", "BU", "AR"};

    // The page on show, and switching to another (the switch runs as a click on its tab).
    virtual int currentPage() const = 0;
    virtual void setCurrentPage(int page) = 0;

    // False while the start-up load runs, True from its end on.
    virtual bool notInitial() const = 0;
    // Keeps the progress window up across the refreshes a cookie deletion makes.
    virtual bool refreshStolen() const = 0;
    virtual void setRefreshStolen(bool stolen) = 0;

    // The progress window the refreshes show; nullptr before the start-up loads it and after
    // the shut-down.
    virtual frmRefreshingCache* refreshingCache() const = 0;

    // Closes the main window, which runs the shut-down.
    virtual void closeMainWindow() = 0;

    // The activity report page's two views.
    virtual ActivityReports& reports() = 0;

protected:
    ~PageHost() = default;
};

}  // namespace brimlow
