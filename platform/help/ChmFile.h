#pragma once

#include "platform/help/ChmExtract.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>
#include <vector>

namespace orvela::help {

/// One line of a help file's table of contents.
struct ContentsEntry {
    QString name;
    QString local; // topic as written in the contents file, relative to the file's root
    int depth = 0;
};

/// A compiled help file read into memory: its context map, its title and its stored files.
class ChmFile final {
public:
    enum class OpenResult { Opened, Missing, Broken };

    /// Reads the file at path; Missing when there is no regular file there.
    OpenResult Open(const QString& path);
    /// Takes stored files directly, as a reader of an archive delivers them.
    void Assign(std::vector<ChmObject> objects);

    /// The title recorded when the file was compiled; empty when it has none.
    QString Title() const { return title_; }
    /// Path of the default topic, "" when none is recorded or it is not stored.
    QString DefaultTopic() const;
    /// The table of contents, empty when the file has none.
    std::vector<ContentsEntry> Contents() const;

    /// Path of the topic mapped to a context number, with its "#anchor" if the map gives one.
    std::optional<QString> Topic(int context) const;
    /// Path of a stored file named by a path inside the archive (case-insensitive, "#anchor" ignored).
    std::optional<QString> Find(const QString& path) const;
    /// Bytes of a stored file; nothing when it is not stored or its data cannot be read.
    std::optional<QByteArray> Read(const QString& path) const;

private:
    struct Stored {
        QString path;
        QByteArray bytes;
        bool readable;
    };
    const Stored* Lookup(const QString& path) const;
    std::optional<QString> Locate(const QString& recordedPath) const;
    void ReadSystem();
    void ReadContextMap();

    QHash<QString, Stored> files_; // keyed by lower-case path
    QHash<int, QString> contexts_; // context number -> path as recorded
    QString title_;
    QString defaultTopic_;
    QString contentsFile_;
};

/// Parses a sitemap contents file (the .hhc format); tolerant of the usual unclosed tags.
std::vector<ContentsEntry> ParseContents(const QByteArray& sitemap);

} // namespace orvela::help
