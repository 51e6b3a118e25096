#pragma once

#include "platform/help/ChmFile.h"

#include <QTextBrowser>
#include <QWidget>
#include <memory>

class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace orvela::help {

/// Shows pages of one help file; links and pictures are read from the same file, nothing from elsewhere.
class HelpBrowser final : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpBrowser(QWidget* parent = nullptr);

    void SetFile(std::shared_ptr<const ChmFile> file);
    QVariant loadResource(int type, const QUrl& name) override;

    /// The address of a page inside the help file.
    static QUrl PageUrl(const QString& pathInFile);

private:
    void FollowLink(const QUrl& link);

    std::shared_ptr<const ChmFile> file_;
};

/// The one help window: a contents list, the page, and buttons for the contents page and back/forward.
class HelpWindow final : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    /// Opens the file at filePath and shows the topic of the context, or a short notice why it cannot.
    /// displayName is the name the caller gave, used in the notices.
    void ShowContext(const QString& filePath, const QString& displayName, int context);

private:
    void ShowNotice(const QString& text);
    void ShowPage(const QString& pathInFile);
    void FillContents();
    void ContentsClicked(QTreeWidgetItem* item);
    void GoToContentsPage();

    std::shared_ptr<ChmFile> file_;
    HelpBrowser* browser_;
    QTreeWidget* contents_;
    QToolButton* contentsButton_;
    QToolButton* backButton_;
    QToolButton* forwardButton_;
};

} // namespace orvela::help
