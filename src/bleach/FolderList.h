#pragma once
// The folder list of the bleach utility: the folders from the root down to the current one,
// then the current folder's subfolders. Activating an entry (double-click or Enter) moves
// there; a change of the path raises pathChanged, activating the current folder itself raises
// reopened, a click raises clicked.
#include <QListWidget>
#include <string>

namespace brimlow {

class FolderList : public QListWidget {
    Q_OBJECT

public:
    // Each entry's folder, as bytes (QByteArray).
    static constexpr int kPathRole = Qt::UserRole;
    static constexpr int kDepthRole = Qt::UserRole + 1;

    explicit FolderList(QWidget* parent = nullptr);

    const std::string& Path() const { return m_path; }
    // Moves to `path` (absolute; "." and ".." parts and doubled slashes are tidied). Throws
    // RuntimeError 76 (path not found) when it names no folder; the list is then unchanged.
    // Raises pathChanged when the folder differs from the one shown.
    void SetPath(const std::string& path);
    // Reads the folders again: added and removed subfolders show, the path stays.
    void Refresh();

signals:
    void pathChanged();
    void reopened();
    void clicked();

private:
    void Fill();
    void Activate(QListWidgetItem* item);

    std::string m_path = "/";
};

}  // namespace brimlow
