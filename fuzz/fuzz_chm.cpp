// Compiled help files come from outside: the reader must answer every input without crashing or hanging.
#include "platform/help/ChmFile.h"

#include <QByteArray>
#include <QFile>
#include <QtEndian>
#include <cstdint>
#include <unistd.h>

using orvela::help::ChmFile;
using orvela::help::ParseContents;

namespace {

const QString& TemporaryPath()
{
    static const QString path = QStringLiteral("/tmp/fuzz_chm_%1.chm").arg(::getpid());
    return path;
}

void Exercise(const ChmFile& file)
{
    for (int context : {101, 102, 103, 0, -1})
        (void)file.Read(file.Topic(context).value_or(QString()));
    (void)file.Read(file.DefaultTopic());
    (void)file.Contents();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // The whole archive, through the same path the help window takes.
    {
        QFile out(TemporaryPath());
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(bytes) != bytes.size())
            return 0;
    }
    ChmFile file;
    if (file.Open(TemporaryPath()) == ChmFile::OpenResult::Opened)
        Exercise(file);

    // The same bytes as the stored files the reader interprets: context map, strings, system file, contents.
    if (size >= 4) {
        const auto mapLength = qFromLittleEndian<quint16>(data) % (size - 3);
        const auto stringsLength = qFromLittleEndian<quint16>(data + 2) % (size - 3 - mapLength + 1);
        const QByteArray rest = bytes.mid(4);
        ChmFile parsed;
        parsed.Assign({{"/#IVB", rest.left(mapLength)},
                       {"/#STRINGS", rest.mid(mapLength, stringsLength)},
                       {"/#SYSTEM", rest.mid(mapLength + stringsLength)},
                       {"/a.html", "a"},
                       {"/sub/b.htm", "b"}});
        Exercise(parsed);
    }
    (void)ParseContents(bytes);
    return 0;
}
