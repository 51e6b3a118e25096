#include "platform/controls/DBGrid.h"

#include <QTimer>

#include "platform/controls/ElidedLabel.h"
#include "platform/controls/Look.h"
#include "platform/dialogs/Dialogs.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace orvela {

namespace {

/// Draws the lines between the columns; the rows get none.
class ColumnLinesDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text = VisiblePart(option->text, option->rect.width());
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }
};

} // namespace

void DBGridColumn::SetFieldName(const QString& fieldName)
{
    fieldName_ = fieldName;
    grid_->model_->ColumnChanged(index_);
}

void DBGridColumn::SetWidth(int width)
{
    width_ = width;
    grid_->setColumnWidth(index_, width);
}

int DataSetTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rowCount_;
}

int DataSetTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : grid_->ColumnCount();
}

QVariant DataSetTableModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !dataSet_ || !index.isValid())
        return {};
    const int fieldIndex = fieldIndexes_.at(index.column());
    // The count is re-checked: a view may ask for a row between a change and its notification.
    if (fieldIndex < 0 || !dataSet_->Active() || index.row() >= dataSet_->RecordCount())
        return {};
    return dataSet_->DisplayText(index.row(), fieldIndex);
}

QVariant DataSetTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section >= 0 && section < grid_->ColumnCount())
        return grid_->Columns(section).Title();
    return {};
}

Qt::ItemFlags DataSetTableModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void DataSetTableModel::Reload()
{
    beginResetModel();
    dataSet_ = grid_->ActiveDataSet();
    rowCount_ = dataSet_ ? dataSet_->RecordCount() : 0;
    ResolveFields();
    endResetModel();
}

void DataSetTableModel::ColumnChanged(int column)
{
    ResolveFields();
    if (rowCount_ > 0)
        emit dataChanged(index(0, column), index(rowCount_ - 1, column), {Qt::DisplayRole});
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void DataSetTableModel::ResolveFields()
{
    fieldIndexes_.assign(grid_->ColumnCount(), -1);
    if (!dataSet_)
        return;
    for (int column = 0; column < grid_->ColumnCount(); ++column) {
        bool found = false;
        const QString& name = grid_->Columns(column).FieldName();
        const Field field = dataSet_->FindField(name, &found);
        if (found && !name.isEmpty())
            fieldIndexes_[column] = field.Index();
    }
}

DBGrid::DBGrid(QWidget* parent, int columnCount) : QTableView(parent)
{
    for (int i = 0; i < columnCount; ++i)
        columns_.push_back(std::make_unique<DBGridColumn>(this, i));
    model_ = std::make_unique<DataSetTableModel>(this);
    setModel(model_.get());
    setItemDelegate(new ColumnLinesDelegate(this));

    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    setShowGrid(false);
    setWordWrap(false);
    setEditTriggers(NoEditTriggers);
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(ScrollPerPixel);
    // The view follows the dataset's cursor and scrolls to it itself (ScrollToCurrent).
    setAutoScroll(false);

    QPalette colours = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        // The selection stays as visible without focus as with it.
        colours.setColor(group, QPalette::Highlight, colours.color(QPalette::Active, QPalette::Highlight));
        colours.setColor(group, QPalette::HighlightedText,
                         colours.color(QPalette::Active, QPalette::HighlightedText));
    }
    setPalette(colours);
    SetColor(colors::Cream);
    AdjustRowHeight();
    ApplyColumnWidths();
}

QColor DBGrid::Color() const
{
    return RoleColor(*this, QPalette::Base);
}

void DBGrid::SetColor(const QColor& color)
{
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::AlternateBase, QPalette::Window, QPalette::Button})
        SetRoleColor(*this, role, color);
}

void DBGrid::DataSetChanged()
{
    model_->Reload();
    ApplyColumnWidths(); // a reset header forgets its section sizes
    FollowCursor();
}

void DBGrid::ApplyColumnWidths()
{
    for (const auto& column : columns_)
        setColumnWidth(column->index_, column->width_);
}

void DBGrid::RecordChanged()
{
    ClientDataSet* dataSet = ActiveDataSet();
    if ((dataSet ? dataSet->RecordCount() : 0) != model_->rowCount()) {
        DataSetChanged();
        return;
    }
    FollowCursor();
    const int row = currentIndex().row();
    if (row >= 0)
        emit model_->dataChanged(model_->index(row, 0), model_->index(row, ColumnCount() - 1), {Qt::DisplayRole});
}

void DBGrid::FollowCursor()
{
    if (following_)
        return;
    following_ = true;
    const ClientDataSet* dataSet = ActiveDataSet();
    const int recNo = dataSet ? dataSet->RecNo() : -1;
    if (recNo < 0 || recNo >= model_->rowCount()) {
        selectionModel()->clear();
    } else {
        // A cursor move scrolls the list up or down only; the sideways position is the user's.
        const int sideways = horizontalScrollBar()->value();
        const QModelIndex current = model_->index(recNo, std::max(currentIndex().column(), 0));
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        ScrollToCurrent(sideways);
    }
    following_ = false;
}

void DBGrid::ScrollToCurrent(int sideways)
{
    // Scrolling blits the view at once; a scan that passes thousands of records scrolls once, at its end.
    sideways_ = sideways;
    if (scrollPending_)
        return;
    scrollPending_ = true;
    QTimer::singleShot(0, this, [this] {
        scrollPending_ = false;
        if (currentIndex().isValid())
            scrollTo(currentIndex());
        horizontalScrollBar()->setValue(sideways_);
    });
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (following_ || !current.isValid())
        return;
    ClientDataSet* dataSet = ActiveDataSet();
    if (!dataSet || current.row() == dataSet->RecNo())
        return;
    following_ = true;
    dialogs::Guard([&] { dataSet->MoveTo(current.row()); });
    following_ = false;
    // The dataset has the last word on where the cursor stands (also when a handler failed).
    FollowCursor();
}

QModelIndex DBGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers)
{
    // Whole rows are selected, so Home and End go to the first and last record.
    const int column = std::max(currentIndex().column(), 0);
    if (cursorAction == MoveHome && model_->rowCount() > 0)
        return model_->index(0, column);
    if (cursorAction == MoveEnd && model_->rowCount() > 0)
        return model_->index(model_->rowCount() - 1, column);
    return QTableView::moveCursor(cursorAction, modifiers);
}

void DBGrid::keyboardSearch(const QString&) {}

void DBGrid::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        AdjustRowHeight();
}

void DBGrid::AdjustRowHeight()
{
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

} // namespace orvela
