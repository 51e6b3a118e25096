#pragma once

#include <QByteArray>
#include <QFlags>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace orvela {

class ClientDataSet;

enum class FieldType { Boolean, Integer, String, Blob, Float, Other };

/// A handle on one field of a dataset; reads and writes the current record.
class Field final {
public:
    Field(const ClientDataSet* dataSet, int index) : dataSet_(dataSet), index_(index) {}

    int Index() const { return index_; }
    QString FieldName() const;
    FieldType DataType() const;

    /// No value: the record has no attribute for it, or no record is visible.
    bool IsNull() const;
    QString AsString() const;   // integer: decimal digits; string: as stored; no value: ""
    qint64 AsInteger() const;   // no value: 0
    bool AsBoolean() const;     // no value: false
    QByteArray AsBytes() const; // blob: the stored bytes (decoded Base64); others: AsString in the file's code page
    /// AsBytes read into `buffer`, whose memory serves the next call again: for reading many values.
    QByteArrayView ReadBytes(QByteArray& buffer) const;
    /// The value as the packet stores it (a blob's Base64 text), without decoding; empty when there is
    /// none. Valid until the record changes or the dataset closes: for telling values apart cheaply.
    QByteArrayView StoredValue() const;

    /// Writes a Boolean into the edited record (between Edit and Post).
    void SetAsBoolean(bool value) const;

    /// Blob: writes the current record's bytes unchanged; "Cannot create file %s" when it cannot.
    void SaveToFile(const QString& fileName) const;

private:
    const ClientDataSet* dataSet_;
    int index_;
};

/// Notified by the dataset so that bound controls follow it by themselves.
/// Observers run before the AfterScroll event of the same move.
class DataSetObserver {
public:
    virtual ~DataSetObserver() = default;
    /// Opened, closed, filtered, re-sorted: the set or the order of visible records changed.
    virtual void DataSetChanged() = 0;
    /// The cursor moved to another record (or to none), or the current record's values changed.
    virtual void RecordChanged() = 0;
};

/// In-memory table loaded from an XML data packet: index order, one filter, Locate, a cursor.
class ClientDataSet final {
public:
    enum class LocateOption { CaseInsensitive = 0x1, PartialKey = 0x2 };
    Q_DECLARE_FLAGS(LocateOptions, LocateOption)

    /// name: component name, put in front of the dataset's own error messages ("DataOrvela: ...").
    explicit ClientDataSet(QString name);
    /// Closes, and so writes back when changed; a write that fails here is dropped: close first to hear of it.
    ~ClientDataSet();
    ClientDataSet(const ClientDataSet&) = delete;
    ClientDataSet& operator=(const ClientDataSet&) = delete;

    const QString& Name() const;

    /// File written back at close when the dataset was changed; empty: never written.
    const QString& FileName() const;
    void SetFileName(const QString& fileName);

    /// Reads a data packet; "Cannot open file %s" (the name as passed) or a refusal leaves it closed.
    /// Runs AfterOpen, then AfterScroll when a record is visible.
    void LoadFromFile(const QString& fileName);
    /// Writes back to the file it was read from when changes were posted and FileName is set.
    /// A write that fails throws FileError("Cannot create file %s") and leaves the old file whole.
    void Close();
    bool Active() const;

    bool ReadOnly() const;
    void SetReadOnly(bool value);

    /// "cz" or "lat" (any case): orders by that field with the packet's collation. No scroll event.
    const QString& IndexFieldNames() const;
    void SetIndexFieldNames(const QString& fieldName);

    const QString& Filter() const;
    void SetFilter(const QString& filterText);
    bool Filtered() const;
    /// Always moves to the first visible record and runs AfterScroll, even when nothing changed.
    void SetFiltered(bool value);

    int RecordCount() const;

    bool Locate(const QString& keyField, const QString& keyValue, LocateOptions options = {});
    void First();
    void Next();
    bool Eof() const;

    void Edit();
    void Post();
    bool Editing() const;
    /// Number of posts that changed stored values since the file was loaded.
    int ChangeCount() const;

    /// Field by name, any case; "<Name>: Field '%s' not found" otherwise.
    Field FieldByName(const QString& fieldName) const;
    Field FindField(const QString& fieldName, bool* found) const;
    int FieldCount() const;
    Field Fields(int index) const;

    /// Writes the whole content as an XML data packet (used by the write-back and the catalogue tools).
    /// Written beside the target and renamed over it only when complete.
    void SaveToFile(const QString& fileName) const;

    // Cursor access for bound controls (the grid reads rows on demand without moving the cursor).
    /// Index of the current record among the visible ones in the current order; -1 when none.
    int RecNo() const;
    /// Moves the cursor to the visible row, as a click in the list does; runs AfterScroll.
    void MoveTo(int visibleRow);
    /// Field value of a visible row, read without moving the cursor.
    QString DisplayText(int visibleRow, int fieldIndex) const;

    void AddObserver(DataSetObserver* observer);
    void RemoveObserver(DataSetObserver* observer);
    /// While disabled (calls nest), observers hear nothing; enabling them again tells them once that
    /// the dataset changed, when anything happened meanwhile. AfterScroll still runs.
    void DisableControls();
    void EnableControls();

    std::function<void()> AfterOpen;
    std::function<void()> AfterScroll;

    struct Impl;

private:
    friend class Field;
    std::unique_ptr<Impl> d;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(ClientDataSet::LocateOptions)

} // namespace orvela
