#include "platform/shell/FolderCopy.h"

#include "platform/dialogs/Dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QSet>
#include <csignal>
#include <filesystem>
#include <optional>

namespace orvela::shell {

namespace {
constexpr qint64 kChunkSize = 1 << 20;
constexpr int kProgressSteps = 1000;

std::function<ReplaceAnswer(const QString&)>& ReplaceQuestion()
{
    static std::function<ReplaceAnswer(const QString&)> question;
    return question;
}

std::function<void(QProgressDialog&)>& ProgressHook()
{
    static std::function<void(QProgressDialog&)> hook;
    return hook;
}

struct Entry {
    QString relative;
    bool isFolder = false;
    qint64 size = 0;
};

/// Every folder and regular file under `root`, parents before their content. Folders reached twice
/// through symbolic links are listed once, so a link loop cannot make the walk endless.
void Collect(const QString& root, const QString& relative, QList<Entry>& entries, QSet<QString>& seenFolders)
{
    const QDir folder(relative.isEmpty() ? root : root + u'/' + relative);
    const auto infos =
        folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& info : infos) {
        const QString name = relative.isEmpty() ? info.fileName() : relative + u'/' + info.fileName();
        if (info.isDir()) {
            if (seenFolders.contains(info.canonicalFilePath()))
                continue;
            seenFolders.insert(info.canonicalFilePath());
            entries.append({name, true, 0});
            Collect(root, name, entries, seenFolders);
        } else if (info.isFile()) {
            entries.append({name, false, info.size()});
        }
        // Sockets, pipes, devices and dangling links have no content to copy; reading a pipe would block.
    }
}

/// Creates the folder and its missing parents; the system's reason when that fails, else empty.
QString MakeFolders(const QString& path)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(path).toStdString()), error);
    return error ? QString::fromLocal8Bit(error.message()) : QString();
}

QList<Entry> CollectTree(const QString& root)
{
    QList<Entry> entries;
    QSet<QString> seenFolders{QFileInfo(root).canonicalFilePath()};
    Collect(root, QString(), entries, seenFolders);
    return entries;
}

/// The path with symbolic links resolved as far as it exists; the missing rest is appended as written.
QString Resolved(const QString& path)
{
    QString probe = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString rest;
    while (true) {
        const QString canonical = QFileInfo(probe).canonicalFilePath();
        if (!canonical.isEmpty())
            return rest.isEmpty() ? canonical : QDir::cleanPath(canonical + u'/' + rest);
        const QFileInfo info(probe);
        if (info.path() == probe)
            return QDir::cleanPath(probe + u'/' + rest);
        rest = rest.isEmpty() ? info.fileName() : info.fileName() + u'/' + rest;
        probe = info.path();
    }
}

ReplaceAnswer AskReplace(const QString& existingFile, QWidget* parent)
{
    if (ReplaceQuestion())
        return ReplaceQuestion()(existingFile);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Potvrzení nahrazení souboru"),
                    QStringLiteral("Tato složka již obsahuje soubor „%1“.\n\nChcete existující soubor nahradit?")
                        .arg(QDir::toNativeSeparators(existingFile)),
                    QMessageBox::NoButton, parent);
    const auto* yes = box.addButton(QStringLiteral("&Ano"), QMessageBox::YesRole);
    const auto* yesToAll = box.addButton(QStringLiteral("Ano &všem"), QMessageBox::YesRole);
    const auto* no = box.addButton(QStringLiteral("&Ne"), QMessageBox::NoRole);
    const auto* noToAll = box.addButton(QStringLiteral("Ne v&šem"), QMessageBox::NoRole);
    auto* cancel = box.addButton(QStringLiteral("Storno"), QMessageBox::RejectRole);
    box.setEscapeButton(cancel);
    box.exec();
    const auto* clicked = box.clickedButton();
    if (clicked == yes)
        return ReplaceAnswer::Yes;
    if (clicked == yesToAll)
        return ReplaceAnswer::YesToAll;
    if (clicked == no)
        return ReplaceAnswer::No;
    if (clicked == noToAll)
        return ReplaceAnswer::NoToAll;
    return ReplaceAnswer::Cancel;
}

/// One run of the copy: the progress window and the standing answer to the replace question.
class Copier final {
public:
    Copier(const QString& source, const QString& target, QWidget* parent)
        : source_(source), target_(target), parent_(parent),
          progress_(QStringLiteral("Kopíruji soubory…"), QStringLiteral("Storno"), 0, kProgressSteps, parent)
    {
        progress_.setWindowTitle(QStringLiteral("Kopírování"));
        progress_.setWindowModality(Qt::ApplicationModal);
        progress_.setMinimumDuration(500);
        progress_.setAutoReset(false);
        progress_.setAutoClose(false);
    }

    CopyResult Run()
    {
        const QList<Entry> entries = CollectTree(source_);
        for (const Entry& entry : entries)
            total_ += entry.size;
        if (const QString why = MakeFolders(target_); !why.isEmpty())
            return Fail(QStringLiteral("Složku %1 nelze vytvořit: %2").arg(target_, why));
        for (const Entry& entry : entries) {
            const CopyResult result = entry.isFolder ? MakeFolder(entry) : CopyOne(entry);
            if (result != CopyResult::Done)
                return result;
            if (ProgressHook())
                ProgressHook()(progress_);
            if (progress_.wasCanceled())
                return CopyResult::Cancelled;
        }
        progress_.setValue(kProgressSteps);
        return CopyResult::Done;
    }

private:
    CopyResult Fail(const QString& message)
    {
        // Cancelled rather than hidden: a hidden window would show itself again once its delay ran out.
        progress_.cancel();
        dialogs::ShowError(message);
        return CopyResult::Failed;
    }

    void Advance(qint64 bytes)
    {
        done_ += bytes;
        const int step = total_ > 0 ? static_cast<int>(done_ * kProgressSteps / total_) : kProgressSteps;
        progress_.setValue(std::min(step, kProgressSteps - 1));
        // Keep the Cancel button answering while a large file is copied.
        if (progress_.isVisible())
            QCoreApplication::processEvents();
    }

    CopyResult MakeFolder(const Entry& entry)
    {
        const QString folder = target_ + u'/' + entry.relative;
        if (const QString why = MakeFolders(folder); !why.isEmpty())
            return Fail(QStringLiteral("Složku %1 nelze vytvořit: %2").arg(folder, why));
        return CopyResult::Done;
    }

    /// Whether an existing file is to be replaced; nullopt when the user cancelled.
    std::optional<bool> MayReplace(const QString& path)
    {
        if (standingAnswer_)
            return standingAnswer_;
        switch (AskReplace(path, progress_.isVisible() ? &progress_ : parent_)) {
        case ReplaceAnswer::Yes:
            return true;
        case ReplaceAnswer::No:
            return false;
        case ReplaceAnswer::YesToAll:
            return standingAnswer_ = true;
        case ReplaceAnswer::NoToAll:
            return standingAnswer_ = false;
        case ReplaceAnswer::Cancel:
            break;
        }
        progress_.cancel();
        return std::nullopt;
    }

    CopyResult CopyOne(const Entry& entry)
    {
        const QString from = source_ + u'/' + entry.relative;
        const QString to = target_ + u'/' + entry.relative;
        progress_.setLabelText(QStringLiteral("Kopíruji soubor %1").arg(entry.relative));
        const QFileInfo existing(to);
        if (existing.exists() || existing.isSymLink()) {
            if (existing.isDir())
                return Fail(QStringLiteral("Soubor %1 nelze zapsat: stejně se jmenuje existující složka.").arg(to));
            const auto replace = MayReplace(to);
            if (!replace)
                return CopyResult::Cancelled;
            if (!*replace) {
                Advance(entry.size);
                return CopyResult::Done;
            }
        }

        QFile in(from);
        if (!in.open(QIODevice::ReadOnly))
            return Fail(QStringLiteral("Soubor %1 nelze přečíst: %2").arg(from, in.errorString()));
        // Written beside the target and renamed over it at the end: a failed or cancelled copy
        // leaves the old file (or none), never a truncated one.
        QSaveFile out(to);
        out.setDirectWriteFallback(false);
        // Unbuffered, so that a failed write reports the system's reason at once; a buffered one
        // fails only when closing, which drops the reason.
        if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return Fail(QStringLiteral("Soubor %1 nelze zapsat: %2").arg(to, out.errorString()));
        QByteArray buffer;
        while (!in.atEnd()) {
            buffer = in.read(kChunkSize);
            if (buffer.isEmpty() && in.error() != QFileDevice::NoError)
                return Fail(QStringLiteral("Soubor %1 nelze přečíst: %2").arg(from, in.errorString()));
            if (buffer.isEmpty())
                break;
            // A short write is retried: only the call that writes nothing carries the system's reason.
            for (qint64 offset = 0; offset < buffer.size();) {
                const qint64 written = out.write(buffer.constData() + offset, buffer.size() - offset);
                if (written <= 0)
                    return Fail(QStringLiteral("Soubor %1 nelze zapsat: %2").arg(to, out.errorString()));
                offset += written;
            }
            Advance(buffer.size());
            if (progress_.wasCanceled()) {
                out.cancelWriting();
                return CopyResult::Cancelled;
            }
        }
        if (!out.commit())
            return Fail(QStringLiteral("Soubor %1 nelze zapsat: %2").arg(to, out.errorString()));
        // A read-only medium hands out read-only files; the installed copy stays the user's to change.
        QFile::setPermissions(to, in.permissions() | QFileDevice::WriteOwner | QFileDevice::ReadOwner);
        KeepModificationTime(in, to);
        return CopyResult::Done;
    }

    static void KeepModificationTime(const QFile& from, const QString& to)
    {
        QFile copy(to);
        if (copy.open(QIODevice::Append))
            copy.setFileTime(from.fileTime(QFileDevice::FileModificationTime), QFileDevice::FileModificationTime);
    }

    QString source_;
    QString target_;
    QWidget* parent_;
    QProgressDialog progress_;
    qint64 total_ = 0;
    qint64 done_ = 0;
    std::optional<bool> standingAnswer_;
};
} // namespace

qint64 FolderContentSize(const QString& folder, qint64 blockSize)
{
    if (!QFileInfo(folder).isDir())
        return 0;
    qint64 size = blockSize;
    for (const Entry& entry : CollectTree(folder))
        size += entry.isFolder ? blockSize : (entry.size + blockSize - 1) / blockSize * blockSize;
    return size;
}

bool IsSameOrInside(const QString& path, const QString& folder)
{
    const QString inner = Resolved(path);
    const QString outer = Resolved(folder);
    return inner == outer || inner.startsWith(outer.endsWith(u'/') ? outer : outer + u'/');
}

CopyResult CopyFolderContents(const QString& source, const QString& target, QWidget* parent)
{
    if (!QFileInfo(source).isDir()) {
        dialogs::ShowError(QStringLiteral("Složku %1 nelze přečíst.").arg(source));
        return CopyResult::Failed;
    }
    // Writing inside the source would copy the copy without end; writing around it could replace
    // source files before they are read.
    if (IsSameOrInside(target, source) || IsSameOrInside(source, target)) {
        dialogs::ShowError(QStringLiteral("Složku %1 nelze kopírovat do %2: cílová složka a kopírovaná složka "
                                          "se překrývají.")
                               .arg(source, target));
        return CopyResult::Failed;
    }
    // Past a file-size limit the system ends the process unless the signal is ignored; ignored, the
    // write fails and is reported like any other.
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    const CopyResult result = Copier(source, target, parent).Run();
    std::signal(SIGXFSZ, previous);
    return result;
}

void SetReplaceQuestion(std::function<ReplaceAnswer(const QString&)> question)
{
    ReplaceQuestion() = std::move(question);
}

void SetCopyProgressHook(std::function<void(QProgressDialog&)> hook) { ProgressHook() = std::move(hook); }

} // namespace orvela::shell
