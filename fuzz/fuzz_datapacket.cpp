// Feeds bytes as a catalogue file, then orders, filters, locates, marks and writes it back. A packet
// that loads must survive its own write-back: it reloads to the same records, and writing it again
// gives the same bytes. Rows read without the XML parser must read as the parser reads them.

#include "platform/dataset/ClientDataSet.h"
#include "platform/dataset/PacketContent.h"
#include "platform/errors/Errors.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <unistd.h>

using namespace orvela;

namespace {

QString TemporaryPath(const char *name) {
    return QDir::tempPath() + QStringLiteral("/fuzz_datapacket_%1_%2.xml").arg(::getpid()).arg(QLatin1String(name));
}

void Require(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

QByteArray ReadAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// Every value of every visible record, as the grid would show it.
QStringList Snapshot(const ClientDataSet &dataSet) {
    QStringList cells;
    for (int row = 0; row < dataSet.RecordCount() && row < 64; ++row) {
        for (int field = 0; field < dataSet.FieldCount(); ++field)
            cells << dataSet.DisplayText(row, field);
    }
    return cells;
}

void Exercise(ClientDataSet &dataSet) {
    const auto partial = ClientDataSet::LocateOption::CaseInsensitive | ClientDataSet::LocateOption::PartialKey;
    QStringList filters{"ID>0", "SK3=true and FILTR=false", "x", "=", "a=1 and", "Family=12"};
    for (int i = 0; i < dataSet.FieldCount(); ++i) {
        const Field field = dataSet.Fields(i);
        const QString name = field.FieldName();
        try {
            dataSet.SetIndexFieldNames(name);
        } catch (const Error &) {
        }
        filters << name + "=true" << name + ">3" << name + "=false and " + name + "=0";
        (void)field.AsString();
        (void)field.AsInteger();
        (void)field.AsBoolean();
        (void)field.AsBytes();
        const QString value = field.AsString();
        dataSet.Locate(name, value);
        dataSet.Locate(name, value.left(2), partial);
        dataSet.Locate(name, "'", partial);
    }
    for (const QString &filter : filters) {
        dataSet.SetFiltered(false);
        dataSet.SetFilter(filter);
        try {
            dataSet.SetFiltered(true);
        } catch (const Error &) {
        }
        (void)dataSet.RecordCount();
    }
    dataSet.SetFiltered(false);

    // The marking pass over every Boolean field.
    dataSet.SetReadOnly(false);
    int pass = 0;
    for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) {
        dataSet.Edit();
        for (int i = 0; i < dataSet.FieldCount(); ++i) {
            if (dataSet.Fields(i).DataType() == FieldType::Boolean)
                dataSet.Fields(i).SetAsBoolean(++pass % 3 == 0);
        }
        dataSet.Post();
    }
}

/// The packet as read, or the refusal; `scanRows` false: rows only through the XML parser.
QByteArray ReadAs(const QByteArray &bytes, bool scanRows) {
    try {
        const auto content = packet::ParsePacketBytes(bytes, scanRows);
        return QByteArray::number(content->recordCount) + ' ' + content->ToBytes();
    } catch (const Error &error) {
        return "refused: " + error.Message().toUtf8();
    }
}

int RunOne(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    Require(ReadAs(bytes, true) == ReadAs(bytes, false), "plain rows read as the XML parser reads them");
    static const QString input = TemporaryPath("in");
    static const QString first = TemporaryPath("first");
    static const QString second = TemporaryPath("second");
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }

    ClientDataSet dataSet("DataOrvela");
    try {
        dataSet.LoadFromFile(input);
    } catch (const Error &) {
        Require(!dataSet.Active(), "a refused packet leaves the dataset closed");
        return 0;
    }
    Exercise(dataSet);
    dataSet.SetIndexFieldNames({});
    dataSet.SaveToFile(first);

    ClientDataSet reloaded("DataOrvela");
    reloaded.LoadFromFile(first); // throws, and so fails the run, if the write-back is no packet
    Require(reloaded.RecordCount() == dataSet.RecordCount(), "the write-back keeps every record");
    Require(reloaded.FieldCount() == dataSet.FieldCount(), "the write-back keeps every field");
    Require(Snapshot(reloaded) == Snapshot(dataSet), "the write-back keeps every value");
    reloaded.SaveToFile(second);
    Require(ReadAll(first) == ReadAll(second), "writing back is stable");
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    try {
        return RunOne(data, size);
    } catch (const Error &error) {
        std::fprintf(stderr, "unexpected error: %s\n", error.what());
        std::abort();
    }
}
