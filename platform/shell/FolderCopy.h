#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

class QProgressDialog;
class QWidget;

namespace orvela::shell {

/// The user's answer when a file to be copied already exists in the target.
enum class ReplaceAnswer { Yes, YesToAll, No, NoToAll, Cancel };

/// How a copy ended. Only Done means that everything was copied.
enum class CopyResult { Done, Cancelled, Failed };

/// Space a copy of the folder takes on a file system with blocks of `blockSize` bytes, as that file
/// system allots it: every file in the folder and its sub-folders rounded up to whole blocks, and one
/// block for the folder itself and for each sub-folder (0 for a missing folder).
qint64 FolderContentSize(const QString& folder, qint64 blockSize = 1);

/// True when `path` is `folder` itself or lies inside it; symbolic links are resolved first.
bool IsSameOrInside(const QString& path, const QString& folder);

/// Copies every file and folder inside `source` into `target`, creating `target` when missing; refuses
/// a target that is the source, lies inside it or contains it.
/// Shows a progress window that can be cancelled, asks before replacing each existing file and
/// reports each failure in an error box. A file is either copied whole or left as it was.
CopyResult CopyFolderContents(const QString& source, const QString& target, QWidget* parent);

/// Test seam: answers the replace question in place of the box while set (empty restores it).
void SetReplaceQuestion(std::function<ReplaceAnswer(const QString& existingFile)> question);

/// Test seam: called after each file is copied, with the progress window, so a test can cancel it.
void SetCopyProgressHook(std::function<void(QProgressDialog& progress)> hook);

} // namespace orvela::shell
