#include "bleach/BleachUtilityPage.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QScopedValueRollback>
#include <QEvent>
#include <QKeyEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

#include "bleach/BleachFolders.h"
#include "bleach/FolderList.h"
#include "bleach/MBleachUtility.h"
#include "host/MActivityReport.h"
#include "host/PageHost.h"
#include "host/PageIcons.h"
#include "host/PageKit.h"
#include "platform/Errors.h"
#include "platform/Text.h"
#include "platform/qt/QtText.h"

namespace brimlow {

namespace {

// How often a long destruction lets the window repaint.
constexpr qint64 kPaintIntervalMs = 40;

// The boxes DestroyFile shows while Execute holds the busy cursor: the user answers them with
// the ordinary pointer.
class PointerDialogs final : public Dialogs {
public:
    explicit PointerDialogs(Dialogs& inner) : m_inner(inner) {}
    MsgBoxAnswer MsgBox(const std::string& text, const std::string& title, MsgBoxButtons buttons,
                        MsgBoxIcon icon) override
    {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        const MsgBoxAnswer answer = m_inner.MsgBox(text, title, buttons, icon);
        QApplication::restoreOverrideCursor();
        return answer;
    }
    std::optional<std::string> ShowSave(const FileDialogOptions& options) override { return m_inner.ShowSave(options); }
    std::optional<std::string> ShowOpen(const FileDialogOptions& options) override { return m_inner.ShowOpen(options); }

private:
    Dialogs& m_inner;
};

QListWidget* MakeFileList(QWidget* parent, const char* name, QRect geometry, int help)
{
    auto* l = Make<QListWidget>(parent, name, geometry);
    l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    l->setUniformItemSizes(true);
    l->setProperty(kHelpContextId, help);
    return l;
}

QByteArray ToArray(const std::string& s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

std::string EntryBytes(const QListWidgetItem* item)
{
    const QByteArray b = item->data(BleachUtilityPage::kBytesRole).toByteArray();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

void AddEntry(QListWidget* list, const std::string& bytes)
{
    auto* item = new QListWidgetItem(FromBytes(bytes));
    item->setData(BleachUtilityPage::kBytesRole, ToArray(bytes));
    list->addItem(item);
}

std::string StartFolder()
{
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    return ec ? std::string("/") : here.string();
}

}  // namespace

BleachUtilityPage::BleachUtilityPage(PageHost& host, Platform& platform, QWidget* parent)
    : QWidget(parent), m_host(host), m_platform(platform)
{
    setObjectName(QStringLiteral("BleachUtilityPage"));
    BuildControls();
}

void BleachUtilityPage::BuildControls()
{
    Image1 = Make<QLabel>(this, "Image1", {8, 6, 32, 32});
    Image1->setPixmap(CookiePageIcon(32));
    setWindowIcon(QIcon(CookiePageIcon(32)));
    Label1 = Make<QLabel>(this, "Label1", {44, 2, 494, 42});
    Label1->setText(QStringLiteral("WARNING:   This utility is highly destructive by design. Unless you are very "
                                   "comfortable\nwith the idea of MASSIVE AND UNRECOVERABLE DATA LOSS, it is not\n"
                                   "recommended that you utilize this feature!"));
    // Three long lines of the stored caption: a smaller face keeps each on one line.
    QFont warning = Label1->font();
    warning.setPointSizeF(warning.pointSizeF() * 0.88);
    Label1->setFont(warning);

    Frame2 = Make<QGroupBox>(this, "Frame2", {8, 44, 524, 46});
    Frame2->setTitle(QStringLiteral("Selected file"));
    BU_txtFile = Make<QLineEdit>(Frame2, "BU_txtFile", {8, 17, 508, 22});
    BU_txtFile->setReadOnly(true);
    BU_txtFile->setProperty(kHelpContextId, 501);
    BU_txtFile->setAccessibleName(QStringLiteral("Selected file"));

    Line1 = Make<QFrame>(this, "Line1", {165, 96, 1, 328});
    Line1->setFrameShape(QFrame::NoFrame);
    Line1->setAutoFillBackground(true);
    QPalette grey = Line1->palette();
    grey.setColor(QPalette::Window, QColor(0xE0, 0xE0, 0xE0));
    Line1->setPalette(grey);

    // Left column: drive, folder, the folder's files.
    BU_Drive1 = Make<QComboBox>(this, "BU_Drive1", {8, 96, 150, 24});
    BU_Drive1->setProperty(kHelpContextId, 502);
    BU_Drive1->setAccessibleName(QStringLiteral("Drive"));
    BU_Dir1 = Make<FolderList>(this, "BU_Dir1", {8, 124, 150, 132});
    BU_Dir1->setProperty(kHelpContextId, 503);
    BU_Dir1->setAccessibleName(QStringLiteral("Folder"));
    BU_lstDirFiles = MakeFileList(this, "BU_lstDirFiles", {8, 260, 150, 164}, 504);
    BU_lstDirFiles->setAccessibleName(QStringLiteral("Files"));

    // Right part: the queue, the options, the buttons.
    Label2 = Make<QLabel>(this, "Label2", {174, 94, 358, 16});
    Label2->setText(QStringLiteral("FILES TO BE DESTROYED:"));
    BU_lstFiles = MakeFileList(this, "BU_lstFiles", {174, 110, 358, 174}, 505);
    BU_lstFiles->setAccessibleName(QStringLiteral("FILES TO BE DESTROYED:"));
    Label2->setBuddy(BU_lstFiles);

    Frame1 = Make<QGroupBox>(this, "Frame1", {174, 288, 358, 68});
    Frame1->setTitle(QStringLiteral("&Deletion Options"));
    BU_optBleachFirst = Make<QRadioButton>(Frame1, "BU_optBleachFirst", {8, 20, 346, 20});
    BU_optBleachFirst->setText(QStringLiteral("B&leach files before deleting  ( Opens file and writes 0s )"));
    BU_optBleachFirst->setProperty(kHelpContextId, 506);
    BU_optBleachFirst->setChecked(true);
    BU_optDeleteOnly = Make<QRadioButton>(Frame1, "BU_optDeleteOnly", {8, 42, 346, 20});
    BU_optDeleteOnly->setText(QStringLiteral("Delete files without bleaching ( Faster than bleaching )"));
    BU_optDeleteOnly->setProperty(kHelpContextId, 507);
    // The captions are long for the frame: a smaller face keeps them whole.
    QFont options = BU_optBleachFirst->font();
    options.setPointSizeF(options.pointSizeF() * 0.92);
    BU_optBleachFirst->setFont(options);
    BU_optDeleteOnly->setFont(options);

    const int w = 116, h = 26;
    auto x = [](int column) { return 174 + column * 121; };
    const int row1 = 364, row2 = 398;
    BU_cmdAdd = MakeButton(this, "BU_cmdAdd", QStringLiteral("Add File"), QStringLiteral("Mark file for Destruction.."),
                           508, {x(0), row1, w, h});
    BU_cmdRemove = MakeButton(this, "BU_cmdRemove", QStringLiteral("Remove File"),
                              QStringLiteral("Remove file from the \"Files To Be Destroyed List\"."), 509,
                              {x(1), row1, w, h});
    BU_cmdExecute = MakeButton(this, "BU_cmdExecute", QStringLiteral("Execute"),
                               QStringLiteral("Destryo all files in the \"Files To Be Destroyed List\" based on the "
                                              "selected \"Deletion Option\"."),
                               510, {x(2), row1, w, h});
    // The Tab key never reaches the button that destroys files.
    BU_cmdExecute->setFocusPolicy(Qt::NoFocus);
    BU_cmdRefresh = MakeButton(this, "BU_cmdRefresh", QStringLiteral("Refresh"),
                               QStringLiteral("Refresh Drive, Directory, and File lists."), 511, {x(0), row2, w, h});
    BU_cmdClear = MakeButton(this, "BU_cmdClear", QStringLiteral("Clear"),
                             QStringLiteral("Remove all entries from \"Files To Be Destroyed\"."), 512,
                             {x(1), row2, w, h});
    BU_cmdExit = MakeButton(this, "BU_cmdExit", QStringLiteral("Exit"), QStringLiteral("Exit Brimlow"), 513,
                            {x(2), row2, w, h});

    const QList<QWidget*> order = {BU_txtFile,        BU_Drive1,     BU_Dir1,       BU_lstFiles, BU_optBleachFirst,
                                   BU_optDeleteOnly,  BU_cmdAdd,     BU_cmdRemove,  BU_cmdExecute, BU_cmdRefresh,
                                   BU_cmdClear,       BU_cmdExit,    BU_lstDirFiles};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    FillDrives();
    try {
        BU_Dir1->SetPath(StartFolder());
    } catch (const RuntimeError&) {
        BU_Dir1->SetPath("/");
    }
    ShowDriveOfFolder();

    connect(BU_Dir1, &FolderList::pathChanged, this, [this] { BU_Dir1_Change(); });
    connect(BU_Dir1, &FolderList::reopened, this, [this] { BU_Dir1_Change(); });
    connect(BU_Dir1, &FolderList::clicked, this, [this] { BU_Dir1_Click(); });
    connect(BU_Drive1, &QComboBox::currentIndexChanged, this, [this](int) { BU_Drive1_Change(); });
    connect(BU_cmdAdd, &QPushButton::clicked, this, [this] { BU_cmdAdd_Click(); });
    connect(BU_cmdRemove, &QPushButton::clicked, this, [this] { BU_cmdRemove_Click(); });
    connect(BU_cmdClear, &QPushButton::clicked, this, [this] { BU_cmdClear_Click(); });
    connect(BU_cmdExecute, &QPushButton::clicked, this, [this] { BU_cmdExecute_Click(); });
    connect(BU_cmdRefresh, &QPushButton::clicked, this, [this] { BU_cmdRefresh_Click(); });
    connect(BU_cmdExit, &QPushButton::clicked, this, [this] { BU_cmdExit_Click(); });
    connect(BU_lstDirFiles, &QListWidget::itemClicked, this, [this](QListWidgetItem*) { BU_lstDirFiles_Click(); });
    connect(BU_lstDirFiles, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem*) { BU_lstDirFiles_DblClick(); });
    connect(BU_lstFiles, &QListWidget::itemClicked, this, [this](QListWidgetItem*) { BU_lstFiles_Click(); });
    connect(BU_lstFiles, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { BU_lstFiles_DblClick(); });
    BU_txtFile->installEventFilter(this);
    BU_lstDirFiles->installEventFilter(this);
    BU_lstFiles->installEventFilter(this);
}

bool BleachUtilityPage::eventFilter(QObject* watched, QEvent* event)
{
    if (m_destroying && watched == window() && event->type() == QEvent::Close) {
        m_closeAsked = true;  // the shut-down must not begin half way through a file
        event->ignore();
        return true;
    }
    if (watched == BU_txtFile && event->type() == QEvent::MouseButtonPress)
        BU_txtFile_Click();
    // Moving through a list with the keys is a click on the entry moved to (the release comes
    // after the move); the program's own changes of a list are not.
    if (event->type() == QEvent::KeyRelease) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Space:
            if (watched == BU_lstDirFiles)
                BU_lstDirFiles_Click();
            else if (watched == BU_lstFiles)
                BU_lstFiles_Click();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void BleachUtilityPage::Message(const std::string& text, const std::string& title)
{
    m_platform.dialogs->MsgBox(text, title, MsgBoxButtons::Ok, MsgBoxIcon::None);
}

bool BleachUtilityPage::Log(const std::string& entry)
{
    try {
        AppendActivityLog(m_platform, entry);
        return true;
    } catch (const RuntimeError& e) {
        Message("Unknown Error: " + std::to_string(e.number()) + "\r\nThe activity log cannot be written:\r\n" +
                    ActivityLogPath(m_platform).string(),
                kProgramTitle);
        return false;
    }
}

// ---- drive and folder ----

void BleachUtilityPage::FillDrives()
{
    std::vector<std::string> roots = m_platform.volumes ? m_platform.volumes->MountedRoots() : std::vector<std::string>{};
    if (roots.empty())
        roots.push_back("/");
    const QSignalBlocker quiet(BU_Drive1);
    BU_Drive1->clear();
    for (const auto& root : roots)
        BU_Drive1->addItem(FromBytes(root), ToArray(root));
}

std::vector<std::string> BleachUtilityPage::DriveRoots() const
{
    std::vector<std::string> roots;
    for (int i = 0; i < BU_Drive1->count(); ++i) {
        const QByteArray b = BU_Drive1->itemData(i).toByteArray();
        roots.emplace_back(b.constData(), static_cast<std::size_t>(b.size()));
    }
    return roots;
}

void BleachUtilityPage::ShowDriveOfFolder()
{
    const std::vector<std::string> roots = DriveRoots();
    const std::string root = RootOf(BU_Dir1->Path(), roots);
    const auto at = std::find(roots.begin(), roots.end(), root);
    const QSignalBlocker quiet(BU_Drive1);
    BU_Drive1->setCurrentIndex(at == roots.end() ? -1 : static_cast<int>(at - roots.begin()));
}

std::string BleachUtilityPage::Folder() const
{
    return BU_Dir1->Path();
}

void BleachUtilityPage::RestoreFolder(const std::string& folder)
{
    try {
        BU_Dir1->SetPath(folder);
    } catch (const RuntimeError&) {
        BU_Dir1->SetPath("/");
    }
    ShowDriveOfFolder();
}

void BleachUtilityPage::BU_Dir1_Change()
{
    const std::string folder = BU_Dir1->Path();
    const std::string prefix = FolderPrefix(folder);
    BU_lstDirFiles->clear();
    ShowDriveOfFolder();
    if (const int drive = BU_Drive1->currentIndex(); drive >= 0)
        m_driveFolders[DriveRoots()[static_cast<std::size_t>(drive)]] = folder;
    FolderContents contents = ReadFolder(folder);
    if (contents.status == FolderContents::Missing) {
        Message("ERR: Folder does not exist!", "Folder Missing");
        return;
    }
    if (contents.status == FolderContents::Unreadable) {
        Message("ERR: Folder cannot be read!\r\n" + folder, "Folder Missing");
        return;
    }
    // By name, as the folder list shows the folders.
    std::sort(contents.files.begin(), contents.files.end(), text::LessNoCase);
    const DestructionList& queued = TheDestructionList();
    BU_lstDirFiles->setUpdatesEnabled(false);
    for (const auto& name : contents.files)
        if (queued.NotInDestructionList(prefix + name))
            AddEntry(BU_lstDirFiles, name);
    BU_lstDirFiles->setUpdatesEnabled(true);
}

void BleachUtilityPage::BU_Dir1_Click()
{
    BU_Dir1->setToolTip(FromBytes(BU_Dir1->Path()));
}

void BleachUtilityPage::BU_Drive1_Change()
{
    const int index = BU_Drive1->currentIndex();
    if (index < 0)
        return;
    const QByteArray b = BU_Drive1->itemData(index).toByteArray();
    const std::string root(b.constData(), static_cast<std::size_t>(b.size()));
    const int failure = CheckVolume(root);
    if (failure == 0) {
        // The folder list goes to the drive's current folder: the one last shown there.
        std::string target = root;
        if (RootOf(BU_Dir1->Path(), DriveRoots()) == root)
            target = BU_Dir1->Path();
        else if (auto known = m_driveFolders.find(root); known != m_driveFolders.end())
            target = known->second;
        try {
            BU_Dir1->SetPath(target);
        } catch (const RuntimeError&) {
            BU_Dir1->SetPath(root);
        }
        return;
    }
    if (failure == err::DeviceUnavailable)
        Message("The selected drive is unavailable.\r\nMake sure you have media in the device.", "Device Error");
    else
        Message("Unknown error: Device no ready.", "Device Error");
    if (BU_Drive1->count() >= 2 && index != 1) {
        BU_Drive1->setCurrentIndex(1);  // raises the change again for that drive
        return;
    }
    // No other entry to fall back on: the list shows the drive of the folder still on show.
    ShowDriveOfFolder();
}

// ---- the queue ----

void BleachUtilityPage::BU_cmdAdd_Click()
{
    if (BU_lstDirFiles->currentRow() < 0)
        return;
    const std::string prefix = FolderPrefix(BU_Dir1->Path());
    DestructionList& queued = TheDestructionList();
    std::string clashes;
    for (int i = BU_lstDirFiles->count() - 1; i >= 0; --i) {
        QListWidgetItem* item = BU_lstDirFiles->item(i);
        if (!item->isSelected())
            continue;
        const std::string path = prefix + EntryBytes(item);
        if (!queued.NotInDestructionList(path)) {
            // Its name differs from a queued file's only in letter case; the queue would
            // take the two for one.
            clashes += path + "\r\n";
            continue;
        }
        AddEntry(BU_lstFiles, path);
        queued.AddToDestructionList(path);
        delete BU_lstDirFiles->takeItem(i);
    }
    if (!clashes.empty())
        Message("These files were not queued: a file whose name differs only in letter case is queued "
                "already.\r\n" + clashes,
                kProgramTitle);
}

void BleachUtilityPage::BU_cmdRemove_Click()
{
    if (BU_lstFiles->currentRow() < 0)
        return;
    DestructionList& queued = TheDestructionList();
    for (int i = BU_lstFiles->count() - 1; i >= 0; --i) {
        QListWidgetItem* item = BU_lstFiles->item(i);
        if (!item->isSelected())
            continue;
        const std::string path = EntryBytes(item);
        if (!queued.NotInDestructionList(path))
            queued.RemoveFromDestructionList(path);
        delete BU_lstFiles->takeItem(i);
    }
    BU_Dir1_Change();
}

void BleachUtilityPage::BU_cmdClear_Click()
{
    ShowSelectedFile({});
    TheDestructionList().Clear();
    BU_lstFiles->clear();
    BU_Dir1_Change();
}

void BleachUtilityPage::BU_cmdExecute_Click()
{
    if (BU_lstFiles->currentRow() < 0) {
        Message("You must first select one or more files for destruction.", "No Selection");
        return;
    }
    const int n = BU_lstFiles->count();
    const MsgBoxAnswer answer = m_platform.dialogs->MsgBox(
        "Are you sure you want to permanantly destroy \r\nthese " + std::to_string(n) + "  files?",
        "Destruction Confirmation", MsgBoxButtons::YesNo, MsgBoxIcon::None);
    if (!Log("Bleach Utility: [Execute] clicked\r\n"))
        return;
    if (answer != MsgBoxAnswer::Yes) {
        Log("Bleach Utility: [Execute] cancelled by user\r\n");
        return;
    }
    // Nothing is destroyed that the log could not record as confirmed.
    if (!Log("Bleach Utility: [Execute] confirmed by user\r\n"))
        return;
    DestroyQueue(BU_optBleachFirst->isChecked());
    // A close asked for while the files were destroyed comes now.
    if (m_closeAsked) {
        m_closeAsked = false;
        m_host.closeMainWindow();
    }
}

void BleachUtilityPage::DestroyQueue(bool bleachFirst)
{
    PointerDialogs dialogs(*m_platform.dialogs);
    Platform destroying = m_platform;
    destroying.dialogs = &dialogs;
    DestructionList& queued = TheDestructionList();
    const WaitCursor busy;
    // The window goes on painting while a large file is overwritten (the confirmation box
    // must not stay drawn on it); clicks and keys wait until the queue is done, and a close
    // of the window until the last file is destroyed (eventFilter).
    const QScopedValueRollback destroyingNow(m_destroying, true);
    QWidget* const top = window();
    top->installEventFilter(this);
    QElapsedTimer sincePaint;
    const auto letPaint = [&sincePaint] {
        if (sincePaint.isValid() && sincePaint.elapsed() < kPaintIntervalMs)
            return;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        sincePaint.start();
    };
    letPaint();
    bool shownTaken = false;
    for (int i = BU_lstFiles->count() - 1; i >= 0; --i) {
        const std::string path = EntryBytes(BU_lstFiles->item(i));
        shownTaken = shownTaken || path == m_selectedFile;
        if (!queued.NotInDestructionList(path))
            queued.RemoveFromDestructionList(path);
        DestroyFile(destroying, std::filesystem::path(path), bleachFirst, letPaint);
        delete BU_lstFiles->takeItem(i);
        letPaint();
    }
    top->removeEventFilter(this);
    // "Selected file" names no file that has just been destroyed; one that survived its
    // destruction stays named.
    struct stat st;
    if (shownTaken && ::lstat(m_selectedFile.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
        ShowSelectedFile({});
}

void BleachUtilityPage::BU_cmdRefresh_Click()
{
    FillDrives();
    ShowDriveOfFolder();
    BU_Dir1->Refresh();
    // The files too: those made or removed since the folder was opened show as they are now.
    BU_Dir1_Change();
}

void BleachUtilityPage::BU_cmdExit_Click()
{
    m_host.closeMainWindow();
}

void BleachUtilityPage::BU_lstDirFiles_Click()
{
    if (QListWidgetItem* item = BU_lstDirFiles->currentItem())
        BU_lstDirFiles->setToolTip(item->text());
}

void BleachUtilityPage::BU_lstDirFiles_DblClick()
{
    BU_cmdAdd_Click();
}

void BleachUtilityPage::BU_lstFiles_Click()
{
    QListWidgetItem* item = BU_lstFiles->currentItem();
    if (!item)
        return;
    BU_lstFiles->setToolTip(item->text());
    ShowSelectedFile(EntryBytes(item));
}

void BleachUtilityPage::ShowSelectedFile(const std::string& path)
{
    m_selectedFile = path;
    BU_txtFile->setText(FromBytes(path));
}

void BleachUtilityPage::BU_lstFiles_DblClick()
{
    BU_cmdRemove_Click();
}

void BleachUtilityPage::BU_txtFile_Click()
{
    BU_txtFile->setToolTip(BU_txtFile->text());
}

}  // namespace brimlow
