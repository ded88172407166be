#include "bleach/FolderList.h"

#include <QApplication>
#include <QStyle>
#include <QStyledItemDelegate>
#include <algorithm>
#include <sys/stat.h>

#include "bleach/BleachFolders.h"
#include "platform/Errors.h"
#include "platform/Text.h"
#include "platform/qt/QtText.h"

namespace brimlow {

namespace {

constexpr int kIndent = 10;

// Each folder stands one step right of the folder that holds it.
class IndentDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem o = option;
        o.rect.adjust(index.data(FolderList::kDepthRole).toInt() * kIndent, 0, 0, 0);
        QStyledItemDelegate::paint(painter, o, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.rwidth() += index.data(FolderList::kDepthRole).toInt() * kIndent;
        return s;
    }
};

QByteArray Bytes(const std::string& s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

std::string LastName(const std::string& folder)
{
    if (folder == "/")
        return folder;
    return folder.substr(folder.rfind('/') + 1);
}

}  // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new IndentDelegate(this));
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { Activate(item); });
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem*) { emit clicked(); });
    Fill();
}

void FolderList::SetPath(const std::string& path)
{
    const std::string folder = NormalFolderPath(path);
    struct stat st{};
    if (path.empty() || path.front() != '/' || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw RuntimeError(err::PathNotFound, "Path not found: " + path);
    if (folder == m_path) {
        Fill();
        return;
    }
    m_path = folder;
    Fill();
    emit pathChanged();
}

void FolderList::Refresh()
{
    Fill();
}

void FolderList::Fill()
{
    const QIcon open = QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = QApplication::style()->standardIcon(QStyle::SP_DirClosedIcon);
    clear();
    const std::vector<std::string> chain = FolderChain(m_path);
    int depth = 0;
    QListWidgetItem* here = nullptr;
    for (const auto& folder : chain) {
        auto* item = new QListWidgetItem(open, FromBytes(LastName(folder)));
        item->setData(kPathRole, Bytes(folder));
        item->setData(kDepthRole, depth++);
        addItem(item);
        here = item;
    }
    FolderContents contents = ReadFolder(m_path);
    std::sort(contents.folders.begin(), contents.folders.end(), text::LessNoCase);  // by name, case aside
    const std::string prefix = FolderPrefix(m_path);
    for (const auto& name : contents.folders) {
        auto* item = new QListWidgetItem(closed, FromBytes(name));
        item->setData(kPathRole, Bytes(prefix + name));
        item->setData(kDepthRole, depth);
        addItem(item);
    }
    setCurrentItem(here);
}

void FolderList::Activate(QListWidgetItem* item)
{
    if (!item)
        return;
    const QByteArray b = item->data(kPathRole).toByteArray();
    const std::string folder(b.constData(), static_cast<std::size_t>(b.size()));
    try {
        const bool again = folder == m_path;
        SetPath(folder);
        if (again)
            emit reopened();  // the folder shown, opened anew: what it holds now
    } catch (const RuntimeError&) {
        Fill();  // the folder has gone since it was listed
    }
}

}  // namespace brimlow
