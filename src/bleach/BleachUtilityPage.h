#pragma once
// The "Bleach Utility" page (page 4) of the main window: a drive, folder and file browser, the
// queue of files to be destroyed (mirrored by the DestructionList), the deletion option and
// Execute, which destroys exactly the queued files after the user has confirmed them.
#include <QWidget>
#include <map>
#include <string>
#include <vector>

#include "platform/Platform.h"

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace brimlow {

class FolderList;
class PageHost;

class BleachUtilityPage : public QWidget {
    Q_OBJECT

public:
    BleachUtilityPage(PageHost& host, Platform& platform, QWidget* parent = nullptr);

    // Handlers.
    void BU_Dir1_Change();
    void BU_Dir1_Click();
    void BU_Drive1_Change();
    void BU_cmdAdd_Click();
    void BU_cmdRemove_Click();
    void BU_cmdClear_Click();
    void BU_cmdExecute_Click();
    void BU_cmdRefresh_Click();
    void BU_cmdExit_Click();
    void BU_lstDirFiles_Click();
    void BU_lstDirFiles_DblClick();
    void BU_lstFiles_Click();
    void BU_lstFiles_DblClick();
    void BU_txtFile_Click();

    // The folder the settings file keeps.
    std::string Folder() const;
    // Opens the saved folder, and its drive, as the settings file restores them; a folder that
    // has gone opens the root.
    void RestoreFolder(const std::string& folder);

    // Each list entry's path (or file name) as bytes (QByteArray): the entry's text is only
    // what the locale can show of it.
    static constexpr int kBytesRole = Qt::UserRole;

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLineEdit* BU_txtFile = nullptr;
    QFrame* Line1 = nullptr;
    QComboBox* BU_Drive1 = nullptr;
    FolderList* BU_Dir1 = nullptr;
    QListWidget* BU_lstDirFiles = nullptr;
    QLabel* Label2 = nullptr;
    QListWidget* BU_lstFiles = nullptr;
    QGroupBox* Frame1 = nullptr;
    QRadioButton* BU_optBleachFirst = nullptr;
    QRadioButton* BU_optDeleteOnly = nullptr;
    QPushButton* BU_cmdAdd = nullptr;
    QPushButton* BU_cmdRemove = nullptr;
    QPushButton* BU_cmdExecute = nullptr;
    QPushButton* BU_cmdRefresh = nullptr;
    QPushButton* BU_cmdClear = nullptr;
    QPushButton* BU_cmdExit = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void FillDrives();
    std::vector<std::string> DriveRoots() const;
    // Shows the drive of the current folder in the drive list without raising its change.
    void ShowDriveOfFolder();
    // Destroys every queued file, last first, the window painting meanwhile.
    void DestroyQueue(bool bleachFirst);
    // "Selected file": the path (bytes) and its text.
    void ShowSelectedFile(const std::string& path);
    void Message(const std::string& text, const std::string& title);
    // Appends to the activity log; false (after saying so) when the log cannot be written.
    bool Log(const std::string& entry);

    PageHost& m_host;
    Platform& m_platform;
    std::map<std::string, std::string> m_driveFolders;  // each drive's current folder
    std::string m_selectedFile;                          // what "Selected file" names, as bytes
    bool m_destroying = false;                           // Execute is destroying the queue
    bool m_closeAsked = false;                           // ... and the window was asked to close
};

}  // namespace brimlow
