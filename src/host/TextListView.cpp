#include "host/TextListView.h"

#include <QItemSelectionModel>

#include "platform/qt/QtText.h"

namespace brimlow {

void TextListModel::Show(std::size_t rows, RowBytes bytes)
{
    beginResetModel();
    m_rows = rows;
    m_bytes = std::move(bytes);
    endResetModel();
}

std::string_view TextListModel::Bytes(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows || !m_bytes)
        return {};
    return m_bytes(static_cast<std::size_t>(row));
}

void TextListModel::RowChanged(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows)
        return;
    const QModelIndex i = index(row, 0);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

void TextListModel::RemoveRow(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows)
        return;
    beginRemoveRows({}, row, row);
    --m_rows;
    endRemoveRows();
}

void TextListModel::InsertRow(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) > m_rows)
        return;
    beginInsertRows({}, row, row);
    ++m_rows;
    endInsertRows();
}

int TextListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows);
}

QVariant TextListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    // A row is narrower than a few thousand characters on screen; a row of megabytes (one
    // line of an absurd file) would be laid out whole on every paint.
    constexpr std::size_t kShownBytes = 4096;
    std::string_view bytes = Bytes(index.row());
    if (bytes.size() > kShownBytes) {
        std::size_t cut = kShownBytes;
        while (cut > kShownBytes - 4 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
            --cut;  // not inside a character
        bytes = bytes.substr(0, cut);
    }
    return FromBytes(bytes);
}

TextListView::TextListView(QWidget* parent) : QListView(parent)
{
    setUniformItemSizes(true);  // a row's height is not asked of every row
    setModel(&m_model);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { emit currentRowChanged(current.isValid() ? current.row() : -1); });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& i) { emit rowClicked(i.row()); });
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& i) { emit rowDoubleClicked(i.row()); });
}

void TextListView::Show(std::size_t rows, TextListModel::RowBytes bytes)
{
    selectionModel()->clear();
    m_model.Show(rows, std::move(bytes));
}

int TextListView::count() const
{
    return m_model.rowCount();
}

int TextListView::currentRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TextListView::setCurrentRow(int row)
{
    const QModelIndex index = m_model.index(row, 0);
    QItemSelectionModel::SelectionFlags how = QItemSelectionModel::SelectCurrent;
    if (selectionMode() == SingleSelection)
        how = QItemSelectionModel::ClearAndSelect;
    else if (selectionMode() == NoSelection)
        how = QItemSelectionModel::NoUpdate;
    selectionModel()->setCurrentIndex(index, how);
}

void TextListView::setCurrentRow(int row, QItemSelectionModel::SelectionFlags how)
{
    selectionModel()->setCurrentIndex(m_model.index(row, 0), how);
}

QString TextListView::text(int row) const
{
    return FromBytes(m_model.Bytes(row));
}

std::string_view TextListView::bytes(int row) const
{
    return m_model.Bytes(row);
}

void TextListView::RowChanged(int row)
{
    m_model.RowChanged(row);
}

void TextListView::RemoveRow(int row)
{
    m_model.RemoveRow(row);
}

void TextListView::InsertRow(int row)
{
    m_model.InsertRow(row);
}

void TextListView::setRowSelected(int row, bool selected)
{
    selectionModel()->select(m_model.index(row, 0),
                             selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

bool TextListView::isRowSelected(int row) const
{
    return selectionModel()->isSelected(m_model.index(row, 0));
}

}  // namespace brimlow
