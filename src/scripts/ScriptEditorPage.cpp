#include "scripts/ScriptEditorPage.h"

#include <utility>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QPlainTextEdit>

#include "host/MActivityReport.h"
#include "host/PageHost.h"
#include "host/PageKit.h"
#include "host/ReportFiles.h"
#include "platform/Errors.h"
#include "platform/TextFile.h"
#include "platform/qt/QtText.h"
#include "host/WebPages.h"
#include "scripts/MQuickCleanUp.h"
#include "scripts/MScriptEditor.h"
#include "scripts/ScriptTutorial.h"

namespace brimlow {

namespace {

// "Key Strokes:" shows exactly the command being recorded: text that would come in other
// than by a key press (a middle-click paste, a drop, an input method) is kept out.
class KeyStrokeBox final : public QPlainTextEdit {
public:
    explicit KeyStrokeBox(QWidget* parent) : QPlainTextEdit(parent) { setAttribute(Qt::WA_InputMethodEnabled, false); }

protected:
    bool canInsertFromMimeData(const QMimeData*) const override { return false; }
    void insertFromMimeData(const QMimeData*) override {}
    void inputMethodEvent(QInputMethodEvent* e) override { e->ignore(); }
};

// The page icon: a keyboard key with an arrow into a window.
QPixmap PageIcon(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    p.setPen(QPen(QColor(70, 70, 70), 1));
    p.setBrush(QColor(235, 235, 235));
    p.drawRoundedRect(QRectF(2 * s, 12 * s, 16 * s, 16 * s), 3 * s, 3 * s);
    p.setPen(QPen(QColor(30, 30, 30), 1.5 * s));
    p.drawText(QRectF(2 * s, 12 * s, 16 * s, 16 * s), Qt::AlignCenter, QStringLiteral("A"));
    p.setPen(QPen(QColor(40, 90, 170), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(16 * s, 3 * s, 14 * s, 11 * s));
    p.fillRect(QRectF(16 * s, 3 * s, 14 * s, 3 * s), QColor(40, 90, 170));
    p.setPen(QPen(QColor(200, 60, 40), 2 * s));
    p.drawLine(QPointF(12 * s, 14 * s), QPointF(20 * s, 9 * s));
    return pm;
}

void CaretToEnd(QPlainTextEdit* box)
{
    QTextCursor c = box->textCursor();
    c.movePosition(QTextCursor::End);
    box->setTextCursor(c);
}

}  // namespace

ScriptEditorPage::ScriptEditorPage(PageHost& host, Platform& platform, QWidget* parent)
    : QWidget(parent),
      m_host(host),
      m_platform(platform),
      m_journal(platform),
      m_player(platform, m_journal, [this](ScriptRunEnd how) { HandBack(how); })
{
    setObjectName(QStringLiteral("ScriptEditorPage"));
    BuildControls();
}

ScriptEditorPage::~ScriptEditorPage() = default;

void ScriptEditorPage::BuildControls()
{
    Image4 = Make<QLabel>(this, "Image4", {8, 6, 32, 32});
    Image4->setPixmap(PageIcon(32));
    setWindowIcon(QIcon(PageIcon(32)));
    Label16 = MakeLabel(this, "Label16",
                        QStringLiteral(" This utility is designed to send key\nstrokes to the targeted application."),
                        {46, 6, 210, 32});

    Frame3 = Make<QGroupBox>(this, "Frame3", {264, 4, 268, 232});
    Frame3->setTitle(QStringLiteral("Quick Tutorial"));
    SE_rtfTutorial = Make<QPlainTextEdit>(Frame3, "SE_rtfTutorial", {6, 20, 256, 206});
    SE_rtfTutorial->setReadOnly(true);
    SE_rtfTutorial->setTabChangesFocus(true);
    SE_rtfTutorial->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SE_rtfTutorial->setProperty(kHelpContextId, 206);
    SE_rtfTutorial->setAccessibleName(QStringLiteral("Quick Tutorial"));
    {
        QPalette pal = SE_rtfTutorial->palette();
        pal.setColor(QPalette::Base, pal.color(QPalette::Window));  // the system colour of menus
        SE_rtfTutorial->setPalette(pal);
    }

    Label12 = MakeLabel(this, "Label12", QStringLiteral("Script being edited:"), {8, 44, 190, 16});
    SE_txtScriptName = Make<QLineEdit>(this, "SE_txtScriptName", {8, 60, 190, 22});
    SE_txtScriptName->setProperty(kHelpContextId, 201);
    NameFromLabel(SE_txtScriptName, Label12);
    SE_cmdLoad = MakeButton(this, "SE_cmdLoad", QStringLiteral("Load"), QStringLiteral("Load an existing script."),
                            207, {202, 60, 54, 22});

    Label11 = MakeLabel(this, "Label11", QStringLiteral("Targeted Application:"), {8, 86, 190, 16});
    SE_txtTargetName = Make<QLineEdit>(this, "SE_txtTargetName", {8, 102, 190, 22});
    SE_txtTargetName->setProperty(kHelpContextId, 202);
    NameFromLabel(SE_txtTargetName, Label11);
    SE_cmdBrowse = MakeButton(this, "SE_cmdBrowse", QStringLiteral("Browse"),
                              QStringLiteral("Select an application for the script to be executed against."), 208,
                              {202, 102, 54, 22});

    Label14 = MakeLabel(this, "Label14", QStringLiteral("Script Commands:"), {8, 128, 190, 16});
    SE_lstCommands = Make<TextListView>(this, "SE_lstCommands", {8, 144, 190, 200});
    SE_lstCommands->setSelectionMode(QAbstractItemView::ExtendedSelection);
    SE_lstCommands->setProperty(kHelpContextId, 203);
    NameFromLabel(SE_lstCommands, Label14);
    ShowCommands();
    SE_lstScriptCode = Make<QListWidget>(this, "SE_lstScriptCode", {8, 144, 190, 200});
    SE_lstScriptCode->setFocusPolicy(Qt::NoFocus);
    SE_lstScriptCode->hide();
    SE_lstScriptCode->lower();

    const int bx = 202, bw = 54, bh = 24;
    SE_cmdTest = MakeButton(this, "SE_cmdTest", QStringLiteral("Test"), QStringLiteral("Run the script file."), 212,
                            {bx, 144, bw, bh});
    SE_cmdSave = MakeButton(this, "SE_cmdSave", QStringLiteral("Save"), QStringLiteral("Save the script file."), 213,
                            {bx, 170, bw, bh});
    SE_cmdClear = MakeButton(this, "SE_cmdClear", QStringLiteral("Clear"),
                             QStringLiteral("Clear the commands under \"Key Strokes\"."), 214, {bx, 196, bw, bh});
    SE_cmdPause = MakeButton(this, "SE_cmdPause", QStringLiteral("Pause"),
                             QStringLiteral("Set a timed dealy between key strokes."), 210, {bx, 222, bw, bh});
    SE_cmdScrRemove = MakeButton(this, "SE_cmdScrRemove", QStringLiteral("Delete"),
                                 QStringLiteral("Remove the selected script command from the script file."), 210,
                                 {bx, 248, bw, bh});
    SE_cmdInsert = MakeButton(this, "SE_cmdInsert", QStringLiteral("Insert"),
                              QStringLiteral("Insert the commands under \"Key Strokes\" before the selected script command."),
                              211, {bx, 274, bw, bh});
    SE_cmdNext = MakeButton(this, "SE_cmdNext", QStringLiteral("Next"),
                            QStringLiteral("Add the entry in \"Key Strokes\" to the script file."), 209,
                            {bx, 320, bw, bh});

    Label15 = MakeLabel(this, "Label15", QStringLiteral("Key Strokes:"), {8, 350, 84, 18});
    SE_cmdControl = MakeButton(this, "SE_cmdControl", QStringLiteral("CTRL"), {}, 216, {94, 348, 34, 20});
    SE_cmdTab = MakeButton(this, "SE_cmdTab", QStringLiteral("TAB"), {}, 217, {130, 348, 34, 20});
    SE_cmdAlt = MakeButton(this, "SE_cmdAlt", QStringLiteral("ALT"), {}, 218, {164, 348, 34, 20});
    SE_txtScript = Make<KeyStrokeBox>(this, "SE_txtScript", {8, 370, 190, 24});
    SE_txtScript->setTabChangesFocus(true);
    SE_txtScript->setLineWrapMode(QPlainTextEdit::NoWrap);
    SE_txtScript->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SE_txtScript->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SE_txtScript->document()->setDocumentMargin(2);
    SE_txtScript->setProperty(kHelpContextId, 204);
    NameFromLabel(SE_txtScript, Label15);
    SE_cmdExit = MakeButton(this, "SE_cmdExit", QStringLiteral("Exit"), QStringLiteral("Exit Brimlow"), 215,
                            {bx, 370, bw, bh});

    Label13 = MakeLabel(this, "Label13", QStringLiteral("Script Description:"), {264, 242, 200, 16});
    SE_rtfScriptDescription = Make<QPlainTextEdit>(this, "SE_rtfScriptDescription", {264, 258, 268, 136});
    SE_rtfScriptDescription->setTabChangesFocus(true);
    SE_rtfScriptDescription->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SE_rtfScriptDescription->setProperty(kHelpContextId, 205);
    NameFromLabel(SE_rtfScriptDescription, Label13);

    lblLatestScripts = MakeLabel(this, "lblLatestScripts",
                                 QStringLiteral("Download the latest scripts: ") + QString::fromLatin1(kSupportPage),
                                 {8, 404, 524, 18});
    lblLatestScripts->setAlignment(Qt::AlignCenter);
    lblLatestScripts->setStyleSheet(QStringLiteral("color: blue;"));
    lblLatestScripts->setCursor(Qt::PointingHandCursor);

    // Keyboard focus order of the page; "Pause" comes last.
    const QList<QWidget*> order = {SE_txtScriptName, SE_txtTargetName, SE_cmdControl,  SE_cmdTab,
                                   SE_cmdAlt,        SE_cmdLoad,       SE_cmdBrowse,   SE_cmdNext,
                                   SE_cmdScrRemove,  SE_cmdInsert,     SE_cmdTest,     SE_cmdSave,
                                   SE_cmdClear,      SE_cmdExit,       SE_lstCommands, SE_txtScript,
                                   SE_rtfTutorial,   SE_rtfScriptDescription, SE_cmdPause};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(SE_cmdAlt, &QPushButton::clicked, this, [this] { SE_cmdAlt_Click(); });
    connect(SE_cmdControl, &QPushButton::clicked, this, [this] { SE_cmdControl_Click(); });
    connect(SE_cmdTab, &QPushButton::clicked, this, [this] { SE_cmdTab_Click(); });
    connect(SE_cmdPause, &QPushButton::clicked, this, [this] { SE_cmdPause_Click(); });
    connect(SE_cmdClear, &QPushButton::clicked, this, [this] { SE_cmdClear_Click(); });
    connect(SE_cmdNext, &QPushButton::clicked, this, [this] { SE_cmdNext_Click(); });
    connect(SE_cmdInsert, &QPushButton::clicked, this, [this] { SE_cmdInsert_Click(); });
    connect(SE_cmdScrRemove, &QPushButton::clicked, this, [this] { SE_cmdScrRemove_Click(); });
    connect(SE_cmdBrowse, &QPushButton::clicked, this, [this] { SE_cmdBrowse_Click(); });
    connect(SE_cmdLoad, &QPushButton::clicked, this, [this] { SE_cmdLoad_Click(); });
    connect(SE_cmdSave, &QPushButton::clicked, this, [this] { SE_cmdSave_Click(); });
    connect(SE_cmdTest, &QPushButton::clicked, this, [this] { SE_cmdTest_Click(); });
    connect(SE_cmdExit, &QPushButton::clicked, this, [this] { SE_cmdExit_Click(); });
    SE_txtScript->installEventFilter(this);
    SE_txtScript->viewport()->installEventFilter(this);
    SE_txtScriptName->installEventFilter(this);
    SE_txtTargetName->installEventFilter(this);
    lblLatestScripts->installEventFilter(this);
}

void ScriptEditorPage::ShowTutorial()
{
    SE_rtfTutorial->setPlainText(ToBoxText(kTutorialText));
}

int ScriptEditorPage::VirtualKeyOf(int qtKey, bool keypad)
{
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return 96 + (qtKey - Qt::Key_0);
        switch (qtKey) {
        case Qt::Key_Asterisk: return 106;
        case Qt::Key_Plus: return 107;
        case Qt::Key_Comma: return 108;
        case Qt::Key_Minus: return 109;
        case Qt::Key_Period: return 110;
        case Qt::Key_Slash: return 111;
        default: break;
        }
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 65 + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return 48 + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return 112 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    // The shifted digits of the top row are their digit keys.
    case Qt::Key_Exclam: return 49;
    case Qt::Key_At: return 50;
    case Qt::Key_NumberSign: return 51;
    case Qt::Key_Dollar: return 52;
    case Qt::Key_Percent: return 53;
    case Qt::Key_AsciiCircum: return 54;
    case Qt::Key_Ampersand: return 55;
    case Qt::Key_Asterisk: return 56;
    case Qt::Key_ParenLeft: return 57;
    case Qt::Key_ParenRight: return 48;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Print: return 42;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    default: return 0;
    }
}

bool ScriptEditorPage::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (watched == SE_txtScript && type == QEvent::ShortcutOverride) {
        // Every key press is recorded here, Alt+F and the other menu keys included: the box
        // takes the key before any shortcut of the window does.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Tab && key != Qt::Key_Backtab) {
            event->accept();
            return true;
        }
    }
    if (watched == SE_txtScript && (type == QEvent::KeyPress || type == QEvent::KeyRelease)) {
        auto* e = static_cast<QKeyEvent*>(event);
        if (e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab)
            return false;  // Tab moves the focus; "[TAB]" comes from its button
        const Qt::KeyboardModifiers m = e->modifiers();
        const int shift = ((m & Qt::ShiftModifier) ? kShiftMask : 0) | ((m & Qt::ControlModifier) ? kCtrlMask : 0) |
                          ((m & Qt::AltModifier) ? kAltMask : 0);
        const int vk = VirtualKeyOf(e->key(), (m & Qt::KeypadModifier) != 0);
        if (type == QEvent::KeyPress)
            SE_txtScript_KeyDown(vk, shift);
        else
            SE_txtScript_KeyUp(vk, shift);
        return true;  // the box shows the recorded tokens, never the key's own character
    }
    if (watched == lblLatestScripts && (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease)) {
        // A link acts on a left click: pressed and released inside the label.
        auto* e = static_cast<QMouseEvent*>(event);
        if (type == QEvent::MouseButtonPress) {
            m_linkPressed = e->button() == Qt::LeftButton;
        } else if (e->button() == Qt::LeftButton) {
            const bool inside = lblLatestScripts->rect().contains(e->position().toPoint());
            if (std::exchange(m_linkPressed, false) && inside)
                lblLatestScripts_Click();
        }
    } else if (type == QEvent::MouseButtonPress) {
        if (watched == SE_txtScript->viewport())
            SE_txtScript_Click();
        else if (watched == SE_txtScriptName)
            SE_txtScriptName_Click();
        else if (watched == SE_txtTargetName)
            SE_txtTargetName_Click();
    }
    return QWidget::eventFilter(watched, event);
}

// ---- recording ----

void ScriptEditorPage::ShowCommand()
{
    SE_txtScript->setPlainText(FromBytes(m_strCommand));
    SE_txtScript->setFocus(Qt::OtherFocusReason);
    CaretToEnd(SE_txtScript);
}

void ScriptEditorPage::SE_txtScript_KeyDown(int keyCode, int shift)
{
    if (keyCode == 46 && SE_txtScript->textCursor().hasSelection()) {
        m_strCommand.clear();
        SE_txtScript->clear();
        return;
    }
    m_strCommand += KeyToToken(keyCode, shift);
}

void ScriptEditorPage::SE_txtScript_KeyUp(int /*keyCode*/, int /*shift*/)
{
    ShowCommand();
}

void ScriptEditorPage::AppendToken(const char* token)
{
    m_strCommand += token;
    ShowCommand();
}

void ScriptEditorPage::SE_cmdAlt_Click() { AppendToken("[ALT]"); }
void ScriptEditorPage::SE_cmdControl_Click() { AppendToken("[CTRL]"); }
void ScriptEditorPage::SE_cmdTab_Click() { AppendToken("[TAB]"); }
void ScriptEditorPage::SE_cmdPause_Click() { AppendToken("[PAUSE]"); }

void ScriptEditorPage::SE_cmdClear_Click()
{
    m_strCommand.clear();
    SE_txtScript->clear();
    SE_txtScript->setFocus(Qt::OtherFocusReason);
}

void ScriptEditorPage::SE_cmdNext_Click()
{
    if (SE_txtScript->toPlainText().isEmpty())
        return;
    AddCommand(m_strCommand);
    m_strCommand.clear();
    SE_txtScript->clear();
    SE_txtScript->setFocus(Qt::OtherFocusReason);
}

void ScriptEditorPage::SE_cmdInsert_Click()
{
    const int row = SE_lstCommands->currentRow();
    if (row < 0)
        return;
    m_commands.Insert(static_cast<std::size_t>(row), ToBytes(SE_txtScript->toPlainText()));
    SE_lstCommands->InsertRow(row);
    SE_cmdClear_Click();
}

void ScriptEditorPage::SE_cmdScrRemove_Click()
{
    if (SE_lstCommands->currentRow() < 0)
        return;
    for (int i = SE_lstCommands->count() - 1; i >= 0; --i)
        if (SE_lstCommands->isRowSelected(i)) {
            m_commands.Remove(static_cast<std::size_t>(i));
            SE_lstCommands->RemoveRow(i);
        }
}

std::string ScriptEditorPage::ShowOpenDialog(const std::string& filter, const std::string& initialFolder)
{
    FileDialogOptions options;
    options.filter = filter;
    options.initialFolder = initialFolder;
    return m_platform.dialogs->ShowOpen(options).value_or(std::string());
}

void ScriptEditorPage::SE_cmdBrowse_Click()
{
    SetLineBytes(SE_txtTargetName, ShowOpenDialog("Application Files|*.exe|All Files|*.*"));
    SE_cmdClear_Click();
}

void ScriptEditorPage::SE_cmdExit_Click()
{
    m_host.closeMainWindow();
}

void ScriptEditorPage::SE_txtScript_Click() { SE_txtScript->setToolTip(SE_txtScript->toPlainText()); }
void ScriptEditorPage::SE_txtScriptName_Click() { SE_txtScriptName->setToolTip(SE_txtScriptName->text()); }
void ScriptEditorPage::SE_txtTargetName_Click() { SE_txtTargetName->setToolTip(SE_txtTargetName->text()); }
void ScriptEditorPage::lblLatestScripts_Click() { OpenWebAddress(m_platform, kSupportPage); }

std::vector<std::string> ScriptEditorPage::Commands() const
{
    return m_commands.ToStrings();
}

void ScriptEditorPage::AddCommand(std::string_view command)
{
    m_commands.Append(command);
    SE_lstCommands->InsertRow(static_cast<int>(m_commands.size()) - 1);
}

void ScriptEditorPage::SetCommands(const std::vector<std::string>& commands)
{
    ClearCommands();
    for (const std::string& c : commands)
        m_commands.Append(c);
    ShowCommands();
}

void ScriptEditorPage::ShowCommands()
{
    SE_lstCommands->Show(m_commands.size(), [this](std::size_t row) { return m_commands[row]; });
}

void ScriptEditorPage::ClearCommands()
{
    m_commands.Clear();
    ShowCommands();
}

// ---- script files ----

void ScriptEditorPage::SE_cmdSave_Click()
{
    if (SE_txtTargetName->text().isEmpty()) {
        m_platform.dialogs->MsgBox(kNoTargetMessage, kNoTargetTitle, MsgBoxButtons::Ok, MsgBoxIcon::None);
        SE_txtTargetName->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (SE_lstCommands->count() == 0) {
        m_platform.dialogs->MsgBox(kNoCommandsMessage, kNoCommandsTitle, MsgBoxButtons::Ok, MsgBoxIcon::None);
        SE_txtScript->setFocus(Qt::OtherFocusReason);
        return;
    }
    FileDialogOptions options;
    options.initialFolder = m_platform.programFolder.string() + "/";
    options.defaultExt = "scr";
    options.filter = "Script Files|*.scr";
    const auto path = m_platform.dialogs->ShowSave(options);
    if (!path)
        return;
    // The chosen name's bytes, which the box may not be able to show.
    SetLineBytes(SE_txtScriptName, *path);
    try {
        WriteScriptFile(*path, ScriptFile{LineBytes(SE_txtTargetName), BoxBytes(SE_rtfScriptDescription), Commands()},
                        m_platform.files);
    } catch (const RuntimeError& e) {
        ShowFileError(m_platform, e.number(), "opening", LineBytes(SE_txtScriptName));
    }
}

void ScriptEditorPage::SE_cmdLoad_Click()
{
    // The script being played stays in the editor until its run is over.
    if (RefusedWhileRunning(RunRequest::Load))
        return;
    // Scripts are found where Save puts them, and where the clean-up lists them from.
    const std::string path = ShowOpenDialog("Script Files|*.scr", m_platform.programFolder.string() + "/");
    SetLineBytes(SE_txtScriptName, path);
    SE_cmdClear_Click();
    ClearCommands();
    SE_lstScriptCode->clear();
    if (!path.empty())
        ReadIntoEditor(path);
}

bool ScriptEditorPage::LoadScriptFile(const std::filesystem::path& path)
{
    // As Edit Script: the key strokes being recorded stay as they were.
    SetLineBytes(SE_txtScriptName, path.string());
    return ReadIntoEditor(path);
}

bool ScriptEditorPage::ReadIntoEditor(const std::filesystem::path& path)
{
    if (!textfile::FileExists(path)) {
        m_platform.dialogs->MsgBox(MissingScriptMessage(path.string()), kFileIoErrorTitle, MsgBoxButtons::Ok,
                                   MsgBoxIcon::Critical);
        return false;
    }
    // The script shown before lets go of its memory before the next one is read.
    ClearCommands();
    ScriptText text;
    try {
        text = ReadScriptText(path);
    } catch (const RuntimeError& e) {
        ShowFileError(m_platform, e.number(), "opening", path.string());
        return false;
    }
    const ScriptFileShape shape = text.shape();
    SetLineBytes(SE_txtTargetName, text.target());
    // The file's bytes become the command list before the description fills its box.
    std::string description = text.Description();
    m_commands = std::move(text).TakeCommands();
    SetBoxBytes(SE_rtfScriptDescription, description);
    std::string().swap(description);
    ShowCommands();
    if (shape != ScriptFileShape::Complete) {
        // What the file holds is loaded; the user is told that it ended early.
        const char* what = shape == ScriptFileShape::TooShort
                               ? "The script file ends before its first command:\r\n"
                               : "The script file ends inside its description, so it has no commands:\r\n";
        m_platform.dialogs->MsgBox(what + path.string() + "\r\nWhat it holds has been loaded.", kFileIoErrorTitle,
                                   MsgBoxButtons::Ok, MsgBoxIcon::Exclamation);
    }
    return true;
}

void ScriptEditorPage::EmptyScript()
{
    SE_txtScriptName->clear();
    SE_txtTargetName->clear();
    ClearCommands();
}

// ---- test runner ----

bool ScriptEditorPage::RefusedWhileRunning(RunRequest request)
{
    const bool playing = m_player.IsPlaying();
    if (JudgeRunRequest(request, playing, m_listener && m_listener->CleanupUnderWay()) == RunVerdict::Allow)
        return false;
    m_platform.dialogs->MsgBox(RunningMessage(playing), kTestRunningTitle, MsgBoxButtons::Ok,
                               MsgBoxIcon::Exclamation);
    return true;
}

void ScriptEditorPage::HandBack(ScriptRunEnd how)
{
    const bool taken = m_listener && m_listener->ScriptRunEnded(how);
    if (!taken)
        SE_txtScript->setFocus(Qt::OtherFocusReason);
}

void ScriptEditorPage::SE_cmdTest_Click()
{
    // One run at a time: the running script finishes first.
    if (RefusedWhileRunning(RunRequest::Test))
        return;
    StartTest();
}

bool ScriptEditorPage::StartTest()
{
    const PlayStart start = m_player.Play(LineBytes(SE_txtTargetName), Commands());
    if (start == PlayStart::Busy) {
        m_platform.dialogs->MsgBox(kTestRunningMessage, kTestRunningTitle, MsgBoxButtons::Ok, MsgBoxIcon::Exclamation);
        return false;
    }
    SE_lstScriptCode->clear();
    for (const CompiledCommand& c : m_player.compiled())
        SE_lstScriptCode->addItem(FromBytes(c.keys));
    if (start == PlayStart::NoTarget) {
        m_platform.dialogs->MsgBox(kNoTargetMessage, kNoTargetTitle, MsgBoxButtons::Ok, MsgBoxIcon::None);
        SE_txtTargetName->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (start == PlayStart::NoCommands) {
        m_platform.dialogs->MsgBox(kNoCommandsMessage, kNoCommandsTitle, MsgBoxButtons::Ok, MsgBoxIcon::None);
        SE_txtScript->setFocus(Qt::OtherFocusReason);
        return false;
    }
    // The first tick comes one interval later, so this entry stands before the run's.
    if (m_host.currentPage() == PageHost::kScriptEditor)
        m_journal.Log("\r\nScript Editor: [Test] clicked\r\n\r\n");
    return true;
}

void ScriptEditorPage::Timer1_Timer()
{
    m_player.Tick();
}

}  // namespace brimlow
