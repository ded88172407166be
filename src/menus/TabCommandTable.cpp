#include "menus/TabCommandTable.h"

#include <array>

namespace brimlow {

namespace {

enum : int { QC = 0, SE, UH, CE, BU, AR };

constexpr std::array kCommandItems{
    // Quick Clean Up
    CommandItem{"mnuTabCommandsQCAdd", "&Add", QC, "QC_cmdAdd"},
    CommandItem{"mnuTabCommandsQCRemove", "&Remove", QC, "QC_cmdRemove"},
    CommandItem{"mnuTabCommandsQCExecute", "&Execute", QC, "QC_cmdExecute"},
    CommandItem{"mnuTabCommandsQCExit", "E&xit", QC, "QC_cmdExit"},
    CommandItem{"mnuTabCommandsQCEditScript", "Ed&it Script", QC, "QC_cmdEditScript"},
    CommandItem{"mnuTabCommandsQCNewScript", "&New Script", QC, "QC_cmdNewScript"},
    CommandItem{"mnuTabCommandsQCDeleteScript", "&Delete Script", QC, "QC_cmdDeleteScript"},
    // Script Editor
    CommandItem{"mnuTabCommandsSELoad", "L&oad", SE, "SE_cmdLoad"},
    CommandItem{"mnuTabCommandsSEBrowse", "&Browse", SE, "SE_cmdBrowse"},
    CommandItem{"mnuTabCommandsSENext", "&Next", SE, "SE_cmdNext"},
    CommandItem{"mnuTabCommandsSEScrRemove", "&Delete", SE, "SE_cmdScrRemove"},
    CommandItem{"mnuTabCommandsSEPause", "&Pause", SE, "SE_cmdPause"},
    CommandItem{"mnuTabCommandsSEInsert", "&Insert", SE, "SE_cmdInsert"},
    CommandItem{"mnuTabCommandsSETest", "T&est", SE, "SE_cmdTest"},
    CommandItem{"mnuTabCommandsSESave", "&Save", SE, "SE_cmdSave"},
    CommandItem{"mnuTabCommandsSEClear", "C&lear", SE, "SE_cmdClear"},
    CommandItem{"mnuTabCommandsSEExit", "E&xit", SE, "SE_cmdExit"},
    CommandItem{"mnuTabCommandsSpace2SE", "-", SE, nullptr},
    CommandItem{"mnuTabCommandsSEControl", "&Control", SE, "SE_cmdControl"},
    CommandItem{"mnuTabCommandsSETab", "&Tab", SE, "SE_cmdTab"},
    CommandItem{"mnuTabCommandsSEAlt", "&Alt", SE, "SE_cmdAlt"},
    // Url Hound
    CommandItem{"mnuTabCommandsUHCacheSearch", "&Execute Search", UH, "UH_cmdCacheSearch"},
    CommandItem{"mnuTabCommandsUHCacheRefresh", "&Refresh Cache", UH, "UH_cmdCacheRefresh"},
    CommandItem{"mnuTabCommandsUHViewReport", "&Generate Report", UH, "UH_cmdViewReport"},
    CommandItem{"mnuTabCommandsUHCacheSave", "&Save Results", UH, "UH_cmdCacheSave"},
    CommandItem{"mnuTabCommandsUHCacheClear", "C&lear Results", UH, "UH_cmdCacheClear"},
    CommandItem{"mnuTabCommandsUHExit", "E&xit", UH, "UH_cmdExit"},
    CommandItem{"mnuTabCommandsSpace2UH", "-", UH, nullptr},
    CommandItem{"mnuTabCommandsUHAnd", "&And", UH, "UH_cmdAnd"},
    CommandItem{"mnuTabCommandsUHOr", "&Or", UH, "UH_cmdOr"},
    // Cookie Editor
    CommandItem{"mnuTabCommandsCERefreshCache", "&Refresh Cache", CE, "CE_cmdRefresh"},
    CommandItem{"mnuTabCommandsCESetCookie", "&Set Cookie", CE, "CE_cmdSetCookie"},
    CommandItem{"mnuTabCommandsCEExit", "E&xit", CE, "CE_cmdExit"},
    CommandItem{"mnuTabCommandsCEDeleteCookie", "Delete &Cookie", CE, "CE_cmdDeleteCookie"},
    CommandItem{"mnuTabCommandsCEDeleteFile", "Delete &File", CE, "CE_cmdDeleteFile"},
    // Activity report
    CommandItem{"mnuTabCommandsARClear", "C&lear Report", AR, "AR_cmdClear"},
    CommandItem{"mnuTabCommandsARSave", "&Save Report", AR, "AR_cmdSave"},
    CommandItem{"mnuTabCommandsARPrint", "&Print Report", AR, "AR_cmdPrint"},
    CommandItem{"mnuTabCommandsARExit", "E&xit", AR, "AR_cmdExit"},
};

constexpr std::array kCarriers{
    // Quick Clean Up
    PageControl{"Image3", QC}, PageControl{"Label5", QC}, PageControl{"Label6", QC}, PageControl{"Label7", QC},
    PageControl{"Label8", QC}, PageControl{"Label9", QC}, PageControl{"Label10", QC}, PageControl{"QC_cmdAdd", QC},
    PageControl{"QC_cmdDeleteScript", QC}, PageControl{"QC_cmdEditScript", QC}, PageControl{"QC_cmdExecute", QC},
    PageControl{"QC_cmdExit", QC}, PageControl{"QC_cmdNewScript", QC}, PageControl{"QC_cmdRemove", QC},
    PageControl{"QC_lstCookies", QC}, PageControl{"QC_lstDelCookies", QC}, PageControl{"QC_lstScripts", QC},
    PageControl{"QC_rtfScriptDescription", QC},
    // Script Editor
    PageControl{"Frame3", SE}, PageControl{"Image4", SE}, PageControl{"Label11", SE}, PageControl{"Label12", SE},
    PageControl{"Label13", SE}, PageControl{"Label14", SE}, PageControl{"Label15", SE}, PageControl{"Label16", SE},
    PageControl{"SE_cmdAlt", SE}, PageControl{"SE_cmdBrowse", SE}, PageControl{"SE_cmdClear", SE},
    PageControl{"SE_cmdControl", SE}, PageControl{"SE_cmdExit", SE}, PageControl{"SE_cmdInsert", SE},
    PageControl{"SE_cmdLoad", SE}, PageControl{"SE_cmdNext", SE}, PageControl{"SE_cmdSave", SE},
    PageControl{"SE_cmdScrRemove", SE}, PageControl{"SE_cmdTab", SE}, PageControl{"SE_cmdTest", SE},
    PageControl{"SE_lstCommands", SE}, PageControl{"SE_lstScriptCode", SE}, PageControl{"SE_rtfScriptDescription", SE},
    PageControl{"SE_rtfTutorial", SE}, PageControl{"SE_txtScript", SE},
    // Url Hound
    PageControl{"Frame4", UH}, PageControl{"Frame7", UH}, PageControl{"Image5", UH}, PageControl{"Label17", UH},
    PageControl{"Label18", UH}, PageControl{"Label19", UH}, PageControl{"Label20", UH}, PageControl{"Label22", UH},
    PageControl{"Label23", UH}, PageControl{"Label24", UH}, PageControl{"UH_chkCaseSensitive", UH},
    PageControl{"UH_chkWholeWord", UH}, PageControl{"UH_cmdAnd", UH}, PageControl{"UH_cmdCacheClear", UH},
    PageControl{"UH_cmdCacheRefresh", UH}, PageControl{"UH_cmdCacheSave", UH}, PageControl{"UH_cmdCacheSearch", UH},
    PageControl{"UH_cmdExit", UH}, PageControl{"UH_cmdOr", UH}, PageControl{"UH_cmdViewReport", UH},
    PageControl{"UH_lstCacheMain", UH}, PageControl{"UH_lstCacheSearch", UH}, PageControl{"UH_txtCacheHeader", UH},
    PageControl{"UH_txtCacheSearch", UH}, PageControl{"UH_txtCacheSearchString", UH},
    // Cookie Editor
    PageControl{"CE_cmdDeleteCookie", CE}, PageControl{"CE_cmdDeleteFile", CE}, PageControl{"CE_cmdExit", CE},
    PageControl{"CE_cmdRefresh", CE}, PageControl{"CE_cmdSetCookie", CE}, PageControl{"CE_lstCookieEntries", CE},
    PageControl{"CE_lstCookieFiles", CE}, PageControl{"CE_lstCookieSources", CE},
    PageControl{"CE_lstExpiredCookies", CE}, PageControl{"CE_optViewByFile", CE},
    PageControl{"CE_optViewBySource", CE}, PageControl{"CE_txtCookieName", CE}, PageControl{"DTPicker1", CE},
    PageControl{"Frame5", CE}, PageControl{"Image2", CE}, PageControl{"Label4", CE}, PageControl{"Label26", CE},
    PageControl{"Label27", CE}, PageControl{"Label28", CE}, PageControl{"Label29", CE}, PageControl{"Label31", CE},
    PageControl{"Label32", CE}, PageControl{"Label33", CE},
    // Bleach Utility
    PageControl{"BU_cmdAdd", BU}, PageControl{"BU_cmdClear", BU}, PageControl{"BU_cmdExecute", BU},
    PageControl{"BU_cmdExit", BU}, PageControl{"BU_cmdRefresh", BU}, PageControl{"BU_cmdRemove", BU},
    PageControl{"BU_Dir1", BU}, PageControl{"BU_lstDirFiles", BU}, PageControl{"BU_lstFiles", BU},
    PageControl{"BU_optBleachFirst", BU}, PageControl{"BU_optDeleteOnly", BU}, PageControl{"Frame1", BU},
    PageControl{"Frame2", BU}, PageControl{"Image1", BU}, PageControl{"Label1", BU}, PageControl{"Label2", BU},
    // Activity report
    PageControl{"AR_cmdClear", AR}, PageControl{"AR_cmdExit", AR}, PageControl{"AR_cmdSave", AR},
    PageControl{"AR_optActivityReport", AR}, PageControl{"AR_optUrlHoundSearch", AR},
    PageControl{"AR_txtActivityReport", AR}, PageControl{"AR_txtCacheSearchReport", AR}, PageControl{"Frame6", AR},
    PageControl{"Label3", AR},
    // The tab strip
    PageControl{kTabStripName, kEveryPage},
};
static_assert(kCarriers.size() == 117);
static_assert(kCommandItems.size() == 37 + 2);

constexpr std::array kWithoutCommandsMenu{
    PageControl{"Label39", QC},          PageControl{"QC_lstScriptCommands", QC}, PageControl{"QC_txtDelay", QC},
    PageControl{"UpDown1", QC},          PageControl{"lblLatestScripts", SE},     PageControl{"SE_txtScriptName", SE},
    PageControl{"SE_txtTargetName", SE}, PageControl{"SE_cmdPause", SE},          PageControl{"Label21", UH},
    PageControl{"Label25", UH},          PageControl{"UH_cboCacheType", UH},      PageControl{"UH_txtCacheAccessed", UH},
    PageControl{"UH_txtCacheHitRate", UH}, PageControl{"UH_txtCacheExpires", UH},
    PageControl{"UH_txtCacheLocation", UH}, PageControl{"CE_txtCookieValue", CE}, PageControl{"CE_txtDateExpires", CE},
    PageControl{"CE_txtSource", CE},     PageControl{"CE_txtCookieSearch", CE},   PageControl{"CE_txtTemp", CE},
    PageControl{"BU_Drive1", BU},        PageControl{"BU_txtFile", BU},           PageControl{"Line1", BU},
    PageControl{"AR_cmdPrint", AR},
};

}  // namespace

std::span<const CommandItem> CommandItems()
{
    return kCommandItems;
}

std::span<const PageControl> CommandsMenuCarriers()
{
    return kCarriers;
}

std::span<const PageControl> ControlsWithoutCommandsMenu()
{
    return kWithoutCommandsMenu;
}

}  // namespace brimlow
