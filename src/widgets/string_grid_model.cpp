#include "widgets/string_grid_model.h"

namespace dw {

namespace {

int modelRow(qsizetype gridRow) {
    return static_cast<int>(gridRow - 1);
}

}  // namespace

StringGridModel::StringGridModel(GridTable* table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
    // The title row is never inserted or removed by the table, so every row range it
    // announces starts at grid row 1 or later.
    connect(table_, &GridTable::rowsAboutToBeInserted, this,
            [this](qsizetype first, qsizetype last) {
                beginInsertRows(QModelIndex(), modelRow(first), modelRow(last));
            });
    connect(table_, &GridTable::rowsInserted, this, [this] { endInsertRows(); });
    connect(table_, &GridTable::rowsAboutToBeRemoved, this,
            [this](qsizetype first, qsizetype last) {
                beginRemoveRows(QModelIndex(), modelRow(first), modelRow(last));
            });
    connect(table_, &GridTable::rowsRemoved, this, [this] { endRemoveRows(); });
    // Persistent indexes stay at their row numbers on purpose: after a sort the current
    // row is the same row number, now showing another file.
    connect(table_, &GridTable::rowsAboutToBeMoved, this,
            [this] { emit layoutAboutToBeChanged(); });
    connect(table_, &GridTable::rowsMoved, this, [this] {
        emit layoutChanged();
        if (table_->columnCount() > 0) {
            emit headerDataChanged(Qt::Horizontal, 0, table_->columnCount() - 1);
        }
    });
    connect(table_, &GridTable::cellsChanged, this,
            [this](qsizetype first, qsizetype last, int firstColumn, int lastColumn) {
                if (table_->columnCount() == 0)
                    return;
                if (first == 0) {
                    emit headerDataChanged(Qt::Horizontal, firstColumn, lastColumn);
                    first = 1;
                }
                if (last >= first) {
                    emit dataChanged(index(modelRow(first), firstColumn),
                                     index(modelRow(last), lastColumn));
                }
            });
    connect(table_, &GridTable::aboutToReset, this, [this] { beginResetModel(); });
    connect(table_, &GridTable::reset, this, [this] { endResetModel(); });
}

void StringGridModel::setColumnAlignment(int column, Qt::Alignment alignment) {
    alignments_.insert(column, alignment);
    if (column < 0 || column >= columnCount())
        return;
    const int rows = rowCount();
    if (rows > 0) {
        emit dataChanged(index(0, column), index(rows - 1, column), {Qt::TextAlignmentRole});
    }
    emit headerDataChanged(Qt::Horizontal, column, column);
}

Qt::Alignment StringGridModel::columnAlignment(int column) const {
    return alignments_.value(column, Qt::AlignLeft);
}

void StringGridModel::setColumnTitleTip(int column, const QString& tip) {
    titleTips_.insert(column, tip);
    emit headerDataChanged(Qt::Horizontal, column, column);
}

QModelIndex StringGridModel::indexForCell(int column, qsizetype row) const {
    if (row < 1 || row >= table_->rowCount())
        return {};
    return index(modelRow(row), column);
}

int StringGridModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return static_cast<int>(table_->rowCount() - 1);
}

int StringGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_->columnCount();
}

QVariant StringGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const qsizetype row = gridRow(index);
    switch (role) {
        case Qt::DisplayRole:
            return table_->cell(index.column(), row);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(columnAlignment(index.column()) | Qt::AlignVCenter);
        case MarkRole:
            return int(table_->mark(row));
        case BandRole:
            return int(static_cast<unsigned char>(table_->band(row)));
        case RowDataRole:
            return table_->rowData(row);
        default:
            return {};
    }
}

QVariant StringGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    }
    switch (role) {
        case Qt::DisplayRole:
            return table_->title(section);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(columnAlignment(section) | Qt::AlignVCenter);
        case Qt::ToolTipRole: {
            const QString tip = titleTips_.value(section);
            return tip.isEmpty() ? QVariant() : QVariant(tip);
        }
        default:
            return {};
    }
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace dw
