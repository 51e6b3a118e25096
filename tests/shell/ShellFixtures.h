#pragma once

#include "platform/shell/FolderCopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace orvela::testing {

inline bool WriteFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

/// A small program folder: the executable, data files, photographs and nested folders.
inline void MakeProgramTree(const QString& root)
{
    WriteFile(root + "/Orvela", "#!/bin/sh\n");
    QFile::setPermissions(root + "/Orvela", QFile::permissions(root + "/Orvela") | QFileDevice::ExeOwner);
    WriteFile(root + "/Orvela.xml", "species");
    WriteFile(root + "/Orvela.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"8\"/>");
    WriteFile(root + "/.hidden", "h");
    WriteFile(root + "/Foto/O1_0.jpg", QByteArray(3000, 'a'));
    WriteFile(root + "/Foto/O1_1.jpg", QByteArray(5000, 'b'));
    WriteFile(root + "/help/deep/er/topic.htm", "topic");
    QDir().mkpath(root + "/empty");
}

/// Every entry below the folder, folders marked with a trailing "/", in name order.
inline QStringList TreeListing(const QString& root)
{
    QStringList listing;
    const QDir dir(root);
    for (const QFileInfo& info :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        listing << info.fileName() + (info.isDir() ? "/" : "");
        if (info.isDir())
            for (const QString& inner : TreeListing(info.filePath()))
                listing << info.fileName() + "/" + inner;
    }
    return listing;
}

/// Answers the copy's replace question from a list (Yes when it runs out) and records what was asked.
struct ReplaceScript {
    using ReplaceAnswer = shell::ReplaceAnswer;
    QList<ReplaceAnswer> answers;
    QStringList asked;
    ReplaceScript()
    {
        shell::SetReplaceQuestion([this](const QString& file) {
            asked << QFileInfo(file).fileName();
            return answers.isEmpty() ? ReplaceAnswer::Yes : answers.takeFirst();
        });
    }
    ~ReplaceScript() { shell::SetReplaceQuestion({}); }
    ReplaceScript(const ReplaceScript&) = delete;
    ReplaceScript& operator=(const ReplaceScript&) = delete;
};

} // namespace orvela::testing
