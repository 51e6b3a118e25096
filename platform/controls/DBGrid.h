#pragma once

#include "platform/controls/DataSource.h"

#include <QAbstractTableModel>
#include <QTableView>
#include <memory>
#include <vector>

namespace orvela {

class DBGrid;

/// One column of the grid: the field it shows (by name, any case) and its title.
class DBGridColumn final {
public:
    DBGridColumn(DBGrid* grid, int index) : grid_(grid), index_(index) {}

    const QString& FieldName() const { return fieldName_; }
    void SetFieldName(const QString& fieldName);
    const QString& Title() const { return title_; }
    void SetTitle(const QString& title) { title_ = title; }
    int Width() const { return width_; }
    void SetWidth(int width);

private:
    friend class DBGrid;
    DBGrid* grid_;
    int index_;
    QString fieldName_;
    QString title_;
    int width_ = 300;
};

/// Model of the visible records in the dataset's current order; cells are read on demand.
class DataSetTableModel final : public QAbstractTableModel {
public:
    explicit DataSetTableModel(const DBGrid* grid) : grid_(grid) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// Re-reads the record count and the columns' field positions.
    void Reload();
    void ColumnChanged(int column);

private:
    void ResolveFields();

    const DBGrid* grid_;
    ClientDataSet* dataSet_ = nullptr; // open dataset as of the last Reload
    int rowCount_ = 0;
    std::vector<int> fieldIndexes_; // per column; -1: no such field
};

/// Read-only list of a dataset's visible records; the highlighted row is the dataset's current record.
class DBGrid final : public QTableView, private DataLink {
public:
    explicit DBGrid(QWidget* parent = nullptr, int columnCount = 2);

    orvela::DataSource* DataSource() const { return Source(); }
    void SetDataSource(orvela::DataSource* source) { SetSource(source); }

    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    DBGridColumn& Columns(int index) { return *columns_.at(index); }
    const DBGridColumn& Columns(int index) const { return *columns_.at(index); }

    QColor Color() const;
    /// Background of the cells (and of the grid's fixed parts).
    void SetColor(const QColor& color);

protected:
    /// A highlight moved by click or key moves the dataset cursor (MoveTo).
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    /// Letters typed in the list do nothing: the name field is the one name jump.
    void keyboardSearch(const QString& search) override;
    void changeEvent(QEvent* event) override;

private:
    friend class DBGridColumn;
    friend class DataSetTableModel;
    void DataSetChanged() override;
    void RecordChanged() override;
    void FollowCursor();
    void ScrollToCurrent(int sideways);
    void AdjustRowHeight();
    void ApplyColumnWidths();

    std::unique_ptr<DataSetTableModel> model_;
    std::vector<std::unique_ptr<DBGridColumn>> columns_;
    bool following_ = false;
    bool scrollPending_ = false;
    int sideways_ = 0;
};

} // namespace orvela
