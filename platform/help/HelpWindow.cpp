#include "platform/help/HelpWindow.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QSplitter>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orvela::help {

namespace {

const QString kScheme = QStringLiteral("chm");

QString NoticeHtml(const QString& text)
{
    return QStringLiteral("<html><body><p style=\"margin: 16px\">%1</p></body></html>").arg(text.toHtmlEscaped());
}

/// "ms-its:Orvela.chm::/page.html" and "mk:@MSITStore:Orvela.chm::/page.html" name a page of a help file.
bool IsStorageLink(const QUrl& link)
{
    const QString scheme = link.scheme().toLower();
    return (scheme == QLatin1String("ms-its") || scheme == QLatin1String("mk")) &&
           link.toString().contains(QLatin1String("::"));
}

} // namespace

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("HelpBrowser"));
    // Links are followed here: pages from the help file, a few outside schemes through the desktop, nothing else.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &HelpBrowser::FollowLink);
}

void HelpBrowser::SetFile(std::shared_ptr<const ChmFile> file)
{
    file_ = std::move(file);
}

QUrl HelpBrowser::PageUrl(const QString& pathInFile)
{
    QUrl url;
    url.setScheme(kScheme);
    const auto hash = pathInFile.indexOf(u'#');
    url.setPath(hash < 0 ? pathInFile : pathInFile.left(hash));
    if (hash >= 0)
        url.setFragment(pathInFile.mid(hash + 1));
    return url;
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    // Never the local disk or the network: a help page reaches only its own file.
    if (name.scheme() != kScheme || file_ == nullptr)
        return {};
    const auto bytes = file_->Read(name.path());
    switch (type) {
    case QTextDocument::HtmlResource:
        if (bytes)
            return *bytes;
        return NoticeHtml(QStringLiteral("Stránka %1 v souboru nápovědy chybí.").arg(name.path()));
    case QTextDocument::ImageResource: {
        QImage image;
        if (bytes && image.loadFromData(*bytes))
            return image;
        return {};
    }
    case QTextDocument::StyleSheetResource:
        return bytes ? QVariant(QString::fromUtf8(*bytes)) : QVariant();
    default:
        return {};
    }
}

void HelpBrowser::FollowLink(const QUrl& link)
{
    if (IsStorageLink(link)) {
        const QString text = link.toString();
        setSource(PageUrl(text.mid(text.indexOf(QLatin1String("::")) + 2)));
        return;
    }
    const QUrl target = link.isRelative() ? source().resolved(link) : link;
    const QString scheme = target.scheme().toLower();
    if (scheme == kScheme)
        setSource(target);
    else if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto"))
        QDesktopServices::openUrl(target);
}

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), browser_(new HelpBrowser), contents_(new QTreeWidget),
      contentsButton_(new QToolButton), backButton_(new QToolButton), forwardButton_(new QToolButton)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Orvela - nápověda"));
    resize(800, 560);

    contentsButton_->setObjectName(QStringLiteral("HelpContentsButton"));
    contentsButton_->setText(QStringLiteral("Obsah"));
    backButton_->setObjectName(QStringLiteral("HelpBackButton"));
    backButton_->setText(QStringLiteral("Zpět"));
    backButton_->setEnabled(false);
    forwardButton_->setObjectName(QStringLiteral("HelpForwardButton"));
    forwardButton_->setText(QStringLiteral("Vpřed"));
    forwardButton_->setEnabled(false);
    for (QToolButton* button : {contentsButton_, backButton_, forwardButton_})
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);

    contents_->setObjectName(QStringLiteral("HelpContents"));
    contents_->setHeaderHidden(true);
    contents_->header()->setStretchLastSection(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contentsButton_);
    buttons->addWidget(backButton_);
    buttons->addWidget(forwardButton_);
    buttons->addStretch();

    auto* splitter = new QSplitter;
    splitter->addWidget(contents_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({200, 600});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);

    connect(contentsButton_, &QToolButton::clicked, this, &HelpWindow::GoToContentsPage);
    connect(backButton_, &QToolButton::clicked, browser_, &QTextBrowser::backward);
    connect(forwardButton_, &QToolButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, backButton_, &QToolButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forwardButton_, &QToolButton::setEnabled);
    connect(contents_, &QTreeWidget::itemClicked, this, &HelpWindow::ContentsClicked);
}

void HelpWindow::ShowContext(const QString& filePath, const QString& displayName, int context)
{
    file_ = std::make_shared<ChmFile>();
    const ChmFile::OpenResult opened = file_->Open(filePath);
    browser_->SetFile(file_);
    const QString title = file_->Title().trimmed();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Orvela - nápověda") : title);
    FillContents();
    contentsButton_->setEnabled(opened == ChmFile::OpenResult::Opened);

    if (opened == ChmFile::OpenResult::Missing)
        return ShowNotice(QStringLiteral("Soubor nápovědy %1 nebyl nalezen.").arg(displayName));
    if (opened == ChmFile::OpenResult::Broken)
        return ShowNotice(QStringLiteral("Soubor nápovědy %1 nelze přečíst.").arg(displayName));
    const auto topic = file_->Topic(context);
    if (!topic || !file_->Read(*topic))
        return ShowNotice(QStringLiteral("Téma nápovědy %1 nebylo nalezeno.").arg(context));
    ShowPage(*topic);
}

void HelpWindow::ShowNotice(const QString& text)
{
    // Forget the pages of an earlier file: their addresses mean nothing in this one.
    browser_->setSource(QUrl());
    browser_->setHtml(NoticeHtml(text));
    browser_->clearHistory();
}

void HelpWindow::ShowPage(const QString& pathInFile)
{
    // The file may have changed under the same address; start from a blank page so that it is read again.
    browser_->setSource(QUrl());
    browser_->clear();
    browser_->clearHistory();
    browser_->setSource(HelpBrowser::PageUrl(pathInFile));
}

void HelpWindow::FillContents()
{
    contents_->clear();
    std::vector<QTreeWidgetItem*> parents;
    for (const ContentsEntry& entry : file_->Contents()) {
        const auto depth = std::min<size_t>(static_cast<size_t>(entry.depth), parents.size());
        parents.resize(depth);
        auto* item = depth == 0 ? new QTreeWidgetItem(contents_) : new QTreeWidgetItem(parents.back());
        item->setText(0, entry.name.isEmpty() ? entry.local : entry.name);
        item->setData(0, Qt::UserRole, entry.local);
        parents.push_back(item);
    }
    contents_->expandAll();
    contents_->setVisible(contents_->topLevelItemCount() > 0);
}

void HelpWindow::ContentsClicked(QTreeWidgetItem* item)
{
    const QString local = item->data(0, Qt::UserRole).toString();
    if (local.isEmpty() || file_ == nullptr)
        return;
    if (const auto path = file_->Find(u'/' + local))
        browser_->setSource(HelpBrowser::PageUrl(*path + (local.contains(u'#') ? local.mid(local.indexOf(u'#')) : QString())));
}

void HelpWindow::GoToContentsPage()
{
    if (file_ == nullptr)
        return;
    QString page = file_->DefaultTopic();
    if (page.isEmpty()) {
        const auto entries = file_->Contents();
        if (!entries.empty())
            page = file_->Find(u'/' + entries.front().local).value_or(QString());
    }
    if (!page.isEmpty())
        browser_->setSource(HelpBrowser::PageUrl(page));
}

} // namespace orvela::help
