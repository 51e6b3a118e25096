#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace orvela::catalogue {

/// Turns an article written in a small markup into RTF:
///   "# Title"          a bold title line
///   "- item"           a bulleted paragraph (indented lines continue it)
///   blank line         ends a paragraph; other lines are joined with a blank
///   **bold**, *italic* within one line; \* is a plain star
/// lines[0] is line firstLine of file; faults throw SourceError naming the line.
QByteArray MarkupToRtf(const QStringList& lines, const QString& file, int firstLine);

/// The text a reader sees, without markup: for checking length and for searching.
QString MarkupToPlainText(const QStringList& lines);

} // namespace orvela::catalogue
