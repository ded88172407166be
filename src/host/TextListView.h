#pragma once
// A list box over a table that lives elsewhere (the loaded dump's records, the cookie
// sources): its rows are the table's rows, and a row's text is made from the table's bytes
// only when the row comes into view. A list of 100,000 entries so costs no item, string or
// allocation per entry, and fills at once. It answers as a list box does: the number of
// entries, the current row, a signal when the current row moves and one for a click.
#include <QAbstractListModel>
#include <QItemSelectionModel>
#include <QListView>
#include <cstddef>
#include <functional>
#include <string_view>

namespace brimlow {

class TextListModel final : public QAbstractListModel {
    Q_OBJECT

public:
    // The bytes of a row; it must answer for every row below the count it was shown with.
    using RowBytes = std::function<std::string_view(std::size_t row)>;

    explicit TextListModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}

    // Lists `rows` rows of `bytes` in place of what was listed.
    void Show(std::size_t rows, RowBytes bytes);
    // The row's bytes; empty for a row that is not listed.
    std::string_view Bytes(int row) const;
    // The table's row has new bytes: the view shows them.
    void RowChanged(int row);
    // The table has dropped the row: the rows after it move up one.
    void RemoveRow(int row);
    // The table has a new row at `row`: the rows from there move down one.
    void InsertRow(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::size_t m_rows = 0;
    RowBytes m_bytes;
};

class TextListView : public QListView {
    Q_OBJECT

public:
    explicit TextListView(QWidget* parent = nullptr);

    // As emptying a list box and adding every entry: the selection and the current row go
    // first (currentRowChanged(-1) when there was one), then the rows are those of `bytes`.
    void Show(std::size_t rows, TextListModel::RowBytes bytes);

    int count() const;
    // -1 when there is no current row.
    int currentRow() const;
    // Makes `row` current and, in single selection, the only selected one.
    void setCurrentRow(int row);
    // As a list box's: makes `row` current and changes the selection as `how` says.
    void setCurrentRow(int row, QItemSelectionModel::SelectionFlags how);
    // The text a row shows, and its bytes.
    QString text(int row) const;
    std::string_view bytes(int row) const;
    bool isRowSelected(int row) const;
    // As changing an entry's text, and as taking an entry out of a list box: the current row
    // and the selection of the other rows move with them.
    void RowChanged(int row);
    void RemoveRow(int row);
    void InsertRow(int row);
    void setRowSelected(int row, bool selected);

signals:
    void currentRowChanged(int row);
    void rowClicked(int row);
    void rowDoubleClicked(int row);

private:
    TextListModel m_model;
};

}  // namespace brimlow
