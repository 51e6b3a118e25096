#include "platform/dataset/ClientDataSet.h"

#include "platform/dataset/FilterExpression.h"
#include "platform/dataset/PacketContent.h"
#include "platform/errors/Errors.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace orvela {

using packet::Content;

struct ClientDataSet::Impl {
    enum class State { Browse, Edit, EditWithoutRecord };

    explicit Impl(ClientDataSet &owner, QString name) : q(owner), name(std::move(name)) {}

    ClientDataSet &q;
    QString name;
    QString fileName;
    QString writeBackPath;
    bool readOnly = false;
    QString indexFieldNames;
    QString filter;
    bool filtered = false;
    std::vector<DataSetObserver *> observers;
    int controlsDisabled = 0;
    bool missedNotice = false; // something happened while the controls were disabled

    std::unique_ptr<Content> content; // null while closed
    std::vector<int> order;           // every record, in index order
    std::vector<int> visible;         // records passing the filter, in index order
    packet::FilterExpression expression;
    int cursor = -1; // position in visible; -1: no record
    bool eof = false;
    State state = State::Browse;
    std::vector<std::pair<int, bool>> pendingFlags; // Boolean values set since Edit
    int changeCount = 0;

    [[noreturn]] void Fail(const QString &message) const { throw DataSetError(name + QStringLiteral(": ") + message); }

    void CheckActive() const {
        if (!content)
            Fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
    }

    int ColumnOf(const QString &fieldName) const {
        CheckActive();
        const int column = content->FindColumn(fieldName);
        if (column < 0)
            Fail(QStringLiteral("Field '%1' not found").arg(fieldName));
        return column;
    }

    int CurrentRecord() const { return content && cursor >= 0 ? visible[cursor] : -1; }

    std::vector<int> SortedRecords(const Content &c, const QString &fieldName) const;
    packet::FilterExpression Expression(const Content &c, const QString &text) const {
        return packet::FilterExpression::Parse(text, c, name);
    }
    void Refilter();
    bool Matches(int column, const QString &value, LocateOptions options, int record);

    /// Stores a pending edit as a move or a close would.
    void PostPending() {
        if (state != State::Browse)
            q.Post();
    }

    /// Puts the cursor on a visible row; observers hear of it only when the record changes.
    void Place(int row) {
        const int before = CurrentRecord();
        cursor = row;
        if (CurrentRecord() != before)
            NotifyRecordChanged();
    }

    void NotifyDataSetChanged() {
        if (Quiet())
            return;
        for (DataSetObserver *observer : std::vector(observers))
            observer->DataSetChanged();
    }
    void NotifyRecordChanged() {
        if (Quiet())
            return;
        for (DataSetObserver *observer : std::vector(observers))
            observer->RecordChanged();
    }
    bool Quiet() {
        if (controlsDisabled == 0)
            return false;
        missedNotice = true;
        return true;
    }
    void RunAfterScroll() const {
        if (q.AfterScroll)
            q.AfterScroll();
    }
};

std::vector<int> ClientDataSet::Impl::SortedRecords(const Content &constContent, const QString &fieldName) const {
    Content &c = const_cast<Content &>(constContent); // builds the column's key cache
    std::vector<int> records(c.recordCount);
    std::iota(records.begin(), records.end(), 0);
    if (fieldName.isEmpty())
        return records;
    const int column = c.FindColumn(fieldName);
    if (column < 0)
        Fail(QStringLiteral("Field '%1' not found").arg(fieldName));
    const packet::Column &values = c.columns[column];

    // Records without a value first; equal keys keep file order. Texts sort by the first bytes of their
    // collation keys; only where those are alike and a key goes on are the whole keys made.
    struct Entry { // 24 bytes: fresh memory is dear
        quint64 high;
        quint64 low;
        int record;
        bool hasValue;
        bool whole;
    };
    std::vector<Entry> entries;
    entries.reserve(c.recordCount);
    const bool numeric = values.type == FieldType::Integer || values.type == FieldType::Boolean;
    QString scratch;
    packet::Content::SortPrefix prefix;
    for (int record = 0; record < c.recordCount; ++record) {
        const bool hasValue = !c.IsNull(column, record);
        prefix = {};
        if (numeric)
            prefix.high = static_cast<quint64>(c.AsInteger(column, record)) ^ (quint64(1) << 63);
        else if (hasValue)
            c.SortKeyPrefix(column, record, scratch, prefix);
        entries.push_back({prefix.high, prefix.low, record, hasValue, prefix.whole});
    }
    const auto samePrefix = [](const Entry &a, const Entry &b) {
        return a.hasValue == b.hasValue && a.high == b.high && a.low == b.low;
    };
    std::sort(entries.begin(), entries.end(), [&](const Entry &a, const Entry &b) {
        if (a.hasValue != b.hasValue)
            return !a.hasValue;
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        return a.record < b.record;
    });
    std::vector<QString> texts;
    std::vector<QByteArray> keys;
    for (auto run = entries.begin(); run != entries.end();) {
        auto runEnd = run + 1;
        bool whole = run->whole;
        while (runEnd != entries.end() && samePrefix(*run, *runEnd)) {
            whole = whole && runEnd->whole;
            ++runEnd;
        }
        if (!numeric && run->hasValue && !whole && runEnd - run > 1) {
            // Mostly the same name more than once: equal texts are equal keys, and the run is in file
            // order already.
            texts.clear();
            for (auto entry = run; entry != runEnd; ++entry)
                texts.push_back(c.AsString(column, entry->record));
            if (std::all_of(texts.begin(), texts.end(), [&](const QString &text) { return text == texts.front(); })) {
                run = runEnd;
                continue;
            }
            keys.clear();
            for (const QString &text : texts)
                keys.push_back(!keys.empty() && text == (&text)[-1] ? keys.back() : c.SortKeyOf(text));
            std::vector<int> positions(runEnd - run);
            std::iota(positions.begin(), positions.end(), 0);
            // The run is in file order already: a stable sort keeps equal keys so.
            std::stable_sort(positions.begin(), positions.end(),
                             [&](int a, int b) { return std::strcmp(keys[a].constData(), keys[b].constData()) < 0; });
            std::vector<Entry> sorted;
            for (int position : positions)
                sorted.push_back(run[position]);
            std::copy(sorted.begin(), sorted.end(), run);
        }
        run = runEnd;
    }
    for (int i = 0; i < c.recordCount; ++i)
        records[i] = entries[i].record;
    return records;
}

void ClientDataSet::Impl::Refilter() {
    if (!filtered) {
        visible = order;
        return;
    }
    visible.clear();
    visible.reserve(order.size());
    for (int record : order) {
        if (expression.Holds(*content, record))
            visible.push_back(record);
    }
}

bool ClientDataSet::Impl::Matches(int column, const QString &value, LocateOptions options, int record) {
    Content &c = *content;
    if (c.IsNull(column, record))
        return false;
    const bool ignoreCase = options.testFlag(LocateOption::CaseInsensitive);
    // Folded once per column, so that a search over every record compares plain characters.
    const QStringView text = ignoreCase ? c.FoldedText(column, record) : QStringView(c.Texts(column)[record]);
    if (options.testFlag(LocateOption::PartialKey))
        return !value.isEmpty() && text.startsWith(value);
    return text == value;
}

ClientDataSet::ClientDataSet(QString name) : d(std::make_unique<Impl>(*this, std::move(name))) {}

ClientDataSet::~ClientDataSet() {
    // An owner that reports a failed write-back closes the dataset itself first; here it can only be dropped.
    try {
        Close();
    } catch (const std::exception &) {
    }
}

const QString &ClientDataSet::Name() const {
    return d->name;
}

const QString &ClientDataSet::FileName() const {
    return d->fileName;
}

void ClientDataSet::SetFileName(const QString &fileName) {
    d->fileName = fileName;
    // An open dataset writes to the file named now, wherever the current directory goes later.
    if (d->content && !fileName.isEmpty())
        d->writeBackPath = QFileInfo(fileName).absoluteFilePath();
}

void ClientDataSet::LoadFromFile(const QString &fileName) {
    Close();

    std::unique_ptr<Content> content = packet::ReadPacketFile(fileName);
    const QString path = QFileInfo(fileName).absoluteFilePath();
    std::vector<int> order = d->SortedRecords(*content, d->indexFieldNames);
    packet::FilterExpression expression;
    if (d->filtered)
        expression = d->Expression(*content, d->filter);

    d->content = std::move(content);
    d->order = std::move(order);
    d->expression = std::move(expression);
    d->Refilter();
    d->cursor = d->visible.empty() ? -1 : 0;
    d->eof = false;
    d->state = Impl::State::Browse;
    d->pendingFlags.clear();
    d->changeCount = 0;
    d->writeBackPath = path;

    d->NotifyDataSetChanged();
    if (AfterOpen)
        AfterOpen();
    if (d->cursor >= 0)
        d->RunAfterScroll();
}

void ClientDataSet::Close() {
    if (!d->content)
        return;
    d->PostPending();
    // A failed write leaves the dataset open with its changes, so nothing is lost.
    if (!d->fileName.isEmpty() && d->changeCount > 0)
        SaveToFile(d->writeBackPath.isEmpty() ? d->fileName : d->writeBackPath);
    d->content.reset();
    d->order.clear();
    d->visible.clear();
    d->expression = {};
    d->cursor = -1;
    d->eof = false;
    d->changeCount = 0;
    d->NotifyDataSetChanged();
}

bool ClientDataSet::Active() const {
    return d->content != nullptr;
}

bool ClientDataSet::ReadOnly() const {
    return d->readOnly;
}
void ClientDataSet::SetReadOnly(bool value) {
    d->readOnly = value;
}

const QString &ClientDataSet::IndexFieldNames() const {
    return d->indexFieldNames;
}

void ClientDataSet::SetIndexFieldNames(const QString &fieldName) {
    if (!d->content) {
        d->indexFieldNames = fieldName;
        return;
    }
    d->PostPending();
    std::vector<int> order = d->SortedRecords(*d->content, fieldName);
    d->indexFieldNames = fieldName;
    const int current = d->CurrentRecord();
    d->order = std::move(order);
    d->Refilter();
    d->cursor = current < 0
                    ? (d->visible.empty() ? -1 : 0)
                    : static_cast<int>(std::find(d->visible.begin(), d->visible.end(), current) - d->visible.begin());
    d->eof = false;
    d->NotifyDataSetChanged();
}

const QString &ClientDataSet::Filter() const {
    return d->filter;
}

void ClientDataSet::SetFilter(const QString &filterText) {
    if (d->content && d->filtered) {
        d->Expression(*d->content, filterText); // refuse a bad text before anything changes
        d->filter = filterText;
        SetFiltered(true);
        return;
    }
    d->filter = filterText;
}

bool ClientDataSet::Filtered() const {
    return d->filtered;
}

void ClientDataSet::SetFiltered(bool value) {
    if (!d->content) {
        d->filtered = value;
        return;
    }
    d->PostPending();
    d->expression = value ? d->Expression(*d->content, d->filter) : packet::FilterExpression();
    d->filtered = value;
    const int before = d->CurrentRecord();
    d->Refilter();
    d->eof = false;
    d->cursor = d->visible.empty() ? -1 : 0;
    d->NotifyDataSetChanged();
    if (d->CurrentRecord() != before)
        d->NotifyRecordChanged();
    d->RunAfterScroll();
}

int ClientDataSet::RecordCount() const {
    d->CheckActive();
    return static_cast<int>(d->visible.size());
}

bool ClientDataSet::Locate(const QString &keyField, const QString &keyValue, LocateOptions options) {
    const int column = d->ColumnOf(keyField);
    d->PostPending();
    Content &c = *d->content;
    const packet::Column &values = c.columns[column];
    int found = -1;
    const int count = static_cast<int>(d->visible.size());
    if (values.type == FieldType::Integer) {
        qint64 number = 0;
        if (!packet::ParseInteger(keyValue.toLatin1().constData(), number))
            return false;
        for (int row = 0; row < count && found < 0; ++row) {
            const int record = d->visible[row];
            if (values.raw[record] && values.numberValid[record] && values.numbers[record] == number)
                found = row;
        }
    } else if (values.type == FieldType::Boolean) {
        const bool wanted = keyValue.startsWith(u'T', Qt::CaseInsensitive);
        for (int row = 0; row < count && found < 0; ++row) {
            if (values.flags[d->visible[row]] == static_cast<int>(wanted))
                found = row;
        }
    } else if (options == LocateOptions()) {
        // Equal under the collation of the index, compared whole and with case.
        c.EnsureSortKeys(column);
        const QByteArray key = c.SortKeyOf(keyValue);
        for (int row = 0; row < count && found < 0; ++row) {
            const int record = d->visible[row];
            if (!c.IsNull(column, record) && std::strcmp(c.SortKey(column, record), key.constData()) == 0)
                found = row;
        }
    } else {
        const QString value = options.testFlag(LocateOption::CaseInsensitive) ? keyValue.toCaseFolded() : keyValue;
        for (int row = 0; row < count && found < 0; ++row) {
            if (d->Matches(column, value, options, d->visible[row]))
                found = row;
        }
    }
    if (found < 0)
        return false;
    d->eof = false;
    d->Place(found);
    d->RunAfterScroll();
    return true;
}

void ClientDataSet::First() {
    d->CheckActive();
    d->PostPending();
    d->eof = false;
    d->Place(d->visible.empty() ? -1 : 0);
    d->RunAfterScroll();
}

void ClientDataSet::Next() {
    d->CheckActive();
    d->PostPending();
    if (Eof())
        return;
    if (d->cursor + 1 < static_cast<int>(d->visible.size()))
        d->Place(d->cursor + 1);
    else
        d->eof = true;
    d->RunAfterScroll();
}

bool ClientDataSet::Eof() const {
    return !d->content || d->visible.empty() || d->eof;
}

void ClientDataSet::Edit() {
    d->CheckActive();
    if (d->readOnly)
        d->Fail(QStringLiteral("Cannot modify a read-only dataset"));
    if (d->state != Impl::State::Browse)
        return;
    // No record to edit: the program never adds records, so this edit stores nothing.
    d->state = d->cursor < 0 ? Impl::State::EditWithoutRecord : Impl::State::Edit;
    d->pendingFlags.clear();
}

void ClientDataSet::Post() {
    d->CheckActive();
    if (d->state == Impl::State::Browse)
        d->Fail(QStringLiteral("Dataset not in edit or insert mode"));
    const bool withRecord = d->state == Impl::State::Edit;
    d->state = Impl::State::Browse;
    std::vector<std::pair<int, bool>> pending;
    pending.swap(d->pendingFlags);
    const int record = d->CurrentRecord();
    if (!withRecord || record < 0)
        return;
    bool changed = false;
    for (const auto &[column, value] : pending) {
        std::int8_t &stored = d->content->columns[column].flags[record];
        if (stored != static_cast<std::int8_t>(value)) {
            stored = value;
            changed = true;
        }
    }
    if (changed) {
        ++d->changeCount;
        d->NotifyRecordChanged();
    }
}

bool ClientDataSet::Editing() const {
    return d->state != Impl::State::Browse;
}

int ClientDataSet::ChangeCount() const {
    return d->changeCount;
}

Field ClientDataSet::FieldByName(const QString &fieldName) const {
    return Field(this, d->ColumnOf(fieldName));
}

Field ClientDataSet::FindField(const QString &fieldName, bool *found) const {
    const int column = d->content ? d->content->FindColumn(fieldName) : -1;
    if (found)
        *found = column >= 0;
    return Field(this, column);
}

int ClientDataSet::FieldCount() const {
    return d->content ? static_cast<int>(d->content->columns.size()) : 0;
}

Field ClientDataSet::Fields(int index) const {
    d->CheckActive();
    if (index < 0 || index >= FieldCount())
        d->Fail(QStringLiteral("List index out of bounds (%1)").arg(index));
    return Field(this, index);
}

void ClientDataSet::SaveToFile(const QString &fileName) const {
    d->CheckActive();
    packet::WriteFileAtomically(fileName, d->content->ToBytes());
}

int ClientDataSet::RecNo() const {
    return d->content ? d->cursor : -1;
}

void ClientDataSet::MoveTo(int visibleRow) {
    d->CheckActive();
    if (visibleRow < 0 || visibleRow >= static_cast<int>(d->visible.size()))
        return;
    d->PostPending();
    d->eof = false;
    d->Place(visibleRow);
    d->RunAfterScroll();
}

QString ClientDataSet::DisplayText(int visibleRow, int fieldIndex) const {
    if (!d->content || visibleRow < 0 || visibleRow >= static_cast<int>(d->visible.size()) || fieldIndex < 0 ||
        fieldIndex >= FieldCount())
        return {};
    return d->content->DisplayText(fieldIndex, d->visible[visibleRow]);
}

void ClientDataSet::AddObserver(DataSetObserver *observer) {
    if (std::find(d->observers.begin(), d->observers.end(), observer) == d->observers.end())
        d->observers.push_back(observer);
}

void ClientDataSet::RemoveObserver(DataSetObserver *observer) {
    d->observers.erase(std::remove(d->observers.begin(), d->observers.end(), observer), d->observers.end());
}

void ClientDataSet::DisableControls() {
    ++d->controlsDisabled;
}

void ClientDataSet::EnableControls() {
    if (d->controlsDisabled == 0 || --d->controlsDisabled > 0 || !d->missedNotice)
        return;
    d->missedNotice = false;
    d->NotifyDataSetChanged();
}

// Field ------------------------------------------------------------------------------------------

namespace {
/// The record a field reads: the current one, or none when closed, out of range or nothing is visible.
int RecordOf(const ClientDataSet::Impl &d, int column) {
    if (!d.content || column < 0 || column >= static_cast<int>(d.content->columns.size()))
        return -1;
    return d.CurrentRecord();
}

/// A Boolean set since Edit and not yet posted.
const bool *PendingFlag(const ClientDataSet::Impl &d, int column) {
    for (const auto &[pendingColumn, value] : d.pendingFlags) {
        if (pendingColumn == column)
            return &value;
    }
    return nullptr;
}
} // namespace

QString Field::FieldName() const {
    const auto &d = *dataSet_->d;
    return d.content && index_ >= 0 && index_ < dataSet_->FieldCount() ? d.content->columns[index_].name : QString();
}

FieldType Field::DataType() const {
    const auto &d = *dataSet_->d;
    return d.content && index_ >= 0 && index_ < dataSet_->FieldCount() ? d.content->columns[index_].type
                                                                       : FieldType::Other;
}

bool Field::IsNull() const {
    const auto &d = *dataSet_->d;
    const int record = RecordOf(d, index_);
    if (record < 0)
        return true;
    return !PendingFlag(d, index_) && d.content->IsNull(index_, record);
}

static QString BooleanText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

/// The current record's value: none without a record, an edited Boolean before it is posted, else as stored.
template <class Value, class Stored>
Value ReadCurrent(const ClientDataSet::Impl &d, int column, Value (*fromPending)(bool), Stored stored) {
    const int record = RecordOf(d, column);
    if (record < 0)
        return Value();
    if (const bool *pending = PendingFlag(d, column))
        return fromPending(*pending);
    return stored(*d.content, record);
}

QString Field::AsString() const {
    return ReadCurrent<QString>(*dataSet_->d, index_, BooleanText,
                                [this](const Content &c, int record) { return c.AsString(index_, record); });
}

qint64 Field::AsInteger() const {
    return ReadCurrent<qint64>(
        *dataSet_->d, index_, [](bool value) -> qint64 { return value; },
        [this](const Content &c, int record) { return c.AsInteger(index_, record); });
}

bool Field::AsBoolean() const {
    return ReadCurrent<bool>(
        *dataSet_->d, index_, [](bool value) { return value; },
        [this](const Content &c, int record) { return c.AsBoolean(index_, record); });
}

QByteArray Field::AsBytes() const {
    return ReadCurrent<QByteArray>(
        *dataSet_->d, index_, [](bool value) { return BooleanText(value).toLatin1(); },
        [this](const Content &c, int record) { return c.AsBytes(index_, record); });
}

QByteArrayView Field::ReadBytes(QByteArray &buffer) const {
    const auto &d = *dataSet_->d;
    const int record = RecordOf(d, index_);
    if (record < 0 || PendingFlag(d, index_))
        buffer = AsBytes();
    else
        d.content->ReadBytes(index_, record, buffer);
    return buffer;
}

QByteArrayView Field::StoredValue() const {
    const auto &d = *dataSet_->d;
    const int record = RecordOf(d, index_);
    if (record < 0 || PendingFlag(d, index_))
        return {};
    const char *raw = d.content->columns[index_].raw.empty() ? nullptr : d.content->columns[index_].raw[record];
    return raw ? QByteArrayView(raw, static_cast<qsizetype>(std::strlen(raw))) : QByteArrayView();
}

void Field::SetAsBoolean(bool value) const {
    auto &d = *dataSet_->d;
    d.CheckActive();
    if (d.state == ClientDataSet::Impl::State::Browse)
        d.Fail(QStringLiteral("Dataset not in edit or insert mode"));
    if (DataType() != FieldType::Boolean)
        d.Fail(QStringLiteral("Field '%1' is not a Boolean field").arg(FieldName()));
    for (auto &[column, pending] : d.pendingFlags) {
        if (column == index_) {
            pending = value;
            return;
        }
    }
    d.pendingFlags.emplace_back(index_, value);
}

void Field::SaveToFile(const QString &fileName) const {
    packet::WriteFileInPlace(fileName, AsBytes());
}

} // namespace orvela
