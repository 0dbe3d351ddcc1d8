#pragma once

#include <QAbstractTableModel>
#include <QHash>

#include "base/grid_table.h"

namespace dw {

// A table model over a GridTable, holding nothing of its own per cell: data rows of the
// grid (1 to rowCount() - 1) are the model's rows 0 to rowCount() - 2, and the grid's
// title row (row 0) is the horizontal header. Follows every change of the table through
// its signals: inserted and removed rows, changed cells, reset; rows that moved (a sort)
// are announced as a layout change without moving persistent indexes, so a selection
// stays at the same row numbers, as it does in the grid.
//
// The table is not owned and must outlive the model. Qt's models count rows in int, so
// a grid shown through this model must stay below INT_MAX data rows (2,147,483,647).
class StringGridModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // Extra roles: the row's mark (int, 0 unmarked), its band tag (int, the character
    // code, 0 for none) and its hidden value (QByteArray).
    enum Role { MarkRole = Qt::UserRole + 1, BandRole, RowDataRole };

    explicit StringGridModel(GridTable* table, QObject* parent = nullptr);

    GridTable* table() const { return table_; }

    // Alignment of a column's cells and title (Qt::TextAlignmentRole); left by default.
    void setColumnAlignment(int column, Qt::Alignment alignment);
    Qt::Alignment columnAlignment(int column) const;

    // The tool tip of a column's title (Qt::ToolTipRole of the header); none by default.
    void setColumnTitleTip(int column, const QString& tip);

    // The grid row an index shows (its row + 1), or 0 for an invalid index.
    static qsizetype gridRow(const QModelIndex& index) {
        return index.isValid() ? static_cast<qsizetype>(index.row()) + 1 : 0;
    }
    // The index showing cell (column, row) of the grid; invalid for the title row and
    // for cells outside the grid.
    QModelIndex indexForCell(int column, qsizetype row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    GridTable* table_;
    QHash<int, Qt::Alignment> alignments_;
    QHash<int, QString> titleTips_;
};

}  // namespace dw
