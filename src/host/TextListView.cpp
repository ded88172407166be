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

int TextListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows);
}

QVariant TextListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    return FromBytes(Bytes(index.row()));
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

bool TextListView::isRowSelected(int row) const
{
    return selectionModel()->isSelected(m_model.index(row, 0));
}

}  // namespace brimlow
