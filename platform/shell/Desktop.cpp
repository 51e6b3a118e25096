#include "platform/shell/Desktop.h"

#include "platform/errors/Errors.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

namespace orvela::shell {

namespace {
std::function<QString()>& DesktopFolderProbe()
{
    static std::function<QString()> probe;
    return probe;
}

/// A value as a desktop entry stores it: backslash and control characters escaped.
QString Escaped(const QString& value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u' ' && i == 0)
            out += QLatin1String("\\s");
        else
            out += c;
    }
    return out;
}

/// One argument of the Exec line: quoted when it holds a character the launcher treats specially.
QString QuotedArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool needsQuotes = argument.isEmpty() || std::any_of(argument.begin(), argument.end(),
                                                               [](QChar c) { return reserved.contains(c); });
    if (!needsQuotes)
        return argument;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'"';
}

/// A literal percent sign on the Exec line is doubled; a single one starts a field code.
QString WithoutFieldCodes(QString text) { return text.replace(u'%', QLatin1String("%%")); }
} // namespace

QString DesktopFolder()
{
    const QString folder = DesktopFolderProbe() ? DesktopFolderProbe()()
                                                : QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return !folder.isEmpty() && QFileInfo::exists(folder) ? folder : QString();
}

void SetDesktopFolderProbe(std::function<QString()> probe) { DesktopFolderProbe() = std::move(probe); }

QString DesktopEntryText(const DesktopEntry& entry)
{
    QString exec = WithoutFieldCodes(QuotedArgument(entry.target));
    if (!entry.arguments.isEmpty())
        exec += u' ' + WithoutFieldCodes(entry.arguments);
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\nVersion=1.0\n");
    text += QStringLiteral("Name=") + Escaped(entry.name) + u'\n';
    // A tooltip that repeats the label adds nothing; launcher checkers warn about it.
    if (!entry.description.isEmpty() && entry.description != entry.name)
        text += QStringLiteral("Comment=") + Escaped(entry.description) + u'\n';
    text += QStringLiteral("Exec=") + Escaped(exec) + u'\n';
    if (!entry.workingFolder.isEmpty())
        text += QStringLiteral("Path=") + Escaped(entry.workingFolder) + u'\n';
    if (!entry.icon.isEmpty())
        text += QStringLiteral("Icon=") + Escaped(entry.icon) + u'\n';
    text += QStringLiteral("Terminal=false\n");
    return text;
}

void WriteDesktopEntry(const QString& file, const DesktopEntry& entry)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(DesktopEntryText(entry).toUtf8()) < 0 || !out.commit())
        throw FileError(QStringLiteral("Cannot create file ") + file);
    constexpr auto kExecutable = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                 QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                 QFileDevice::ExeOther;
    if (!QFile::setPermissions(file, kExecutable))
        throw FileError(QStringLiteral("Cannot create file ") + file);
}

} // namespace orvela::shell
