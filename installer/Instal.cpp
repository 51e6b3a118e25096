#include "installer/Instal.h"

#include "platform/dialogs/CentreOnScreen.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/shell/Desktop.h"
#include "platform/shell/Drive.h"
#include "platform/shell/FolderCopy.h"
#include "platform/shell/FolderTree.h"
#include "ui_Instal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace orvela {

QString ProgramDir;

namespace {
constexpr int kDisplayLimit = 60;
constexpr int kDisplayTail = 58;
constexpr int kDisplayHead = 3;
const QString kShortcutName = QStringLiteral("BOTANICKÝ ORVELA");
// The program's emblem, which lies beside the program and is installed with it.
const QString kEmblemFile = QStringLiteral("Orvela.svg");

QFont ArialFont(int pixelSize, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void PaintBackground(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
}

/// A path that names a local folder: absolute, and not "//host/share".
bool IsLocalFolderPath(const QString& path) { return path.startsWith(u'/') && !path.startsWith(QStringLiteral("//")); }

/// The folder part of a path with its trailing separator, as a launcher's working folder.
QString FolderWithSeparator(const QString& path) { return path.left(path.lastIndexOf(u'/') + 1); }
} // namespace

QString TargetDisplay(const QString& path)
{
    if (path.isEmpty())
        return QString();
    // Counted in characters, so a cut never splits one in two.
    const QList<uint> target =
        (path.endsWith(u'/') ? path + QStringLiteral("Orvela") : path + QStringLiteral("/Orvela")).toUcs4();
    const qsizetype length = target.size();
    if (length <= kDisplayLimit)
        return QString::fromUcs4(reinterpret_cast<const char32_t*>(target.constData()), length);
    const auto tailBegin = target.begin() + (length - kDisplayTail);
    const auto separator = std::find(tailBegin, target.end(), uint(u'/'));
    QList<uint> shown(target.begin(), target.begin() + kDisplayHead);
    shown.append(uint(u'.'));
    shown.append(uint(u'.'));
    shown.append(QList<uint>(separator, target.end()));
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(shown.constData()), shown.size());
}

QString InstallFolder(const QString& chosenPath)
{
    return chosenPath.endsWith(u'/') ? chosenPath + QStringLiteral("Orvela") : chosenPath + QStringLiteral("/Orvela");
}

void CreateDesktopShortcut(const QString& target, const QString& arguments, const QString& linkFile,
                           const QString& description, const QString& icon)
{
    const shell::DesktopEntry entry{QFileInfo(linkFile).completeBaseName(), target, arguments,
                                    FolderWithSeparator(target), description, icon};
    shell::WriteDesktopEntry(linkFile, entry);
}

TForm2::TForm2(QWidget* owner) : QDialog(owner), ui_(std::make_unique<Ui::TForm2>())
{
    ui_->setupUi(this);
    Tree = ui_->Tree;
    Panel1 = ui_->Panel1;
    Label1 = ui_->Label1;
    Label2 = ui_->Label2;
    Button1 = ui_->Button1;
    Button2 = ui_->Button2;
    Label5 = ui_->Label5;

    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(426, 379);
    setFont(ArialFont(13, false));
    Label2->setFont(ArialFont(19, true));
    Label5->setFont(ArialFont(13, true));
    Button1->setFont(ArialFont(15, true));
    Button2->setFont(ArialFont(15, true));
    PaintBackground(Panel1, Qt::yellow);
    PaintBackground(Label1, Qt::yellow);
    Tree->setFocus();

    Tree->OnChange = [this] { dialogs::Guard([this] { TreeChange(); }); };
    connect(Button1, &QPushButton::clicked, this, dialogs::Guarded([this] { Button1Click(); }));
    connect(Button2, &QPushButton::clicked, this, dialogs::Guarded([this] { Button2Click(); }));
    // The tree selected its root item while it was built, before the handler was attached.
    TreeChange();
    FormCreate();
}

TForm2::~TForm2() = default;

void TForm2::TreeChange()
{
    Label1->setText(TargetDisplay(Tree->Path()));
    Label1->resize(Label1->sizeHint().width(), Label1->height());
}

void TForm2::Button2Click() { close(); }

void TForm2::Button1Click()
{
    const QString chosen = Tree->Path();
    if (!IsLocalFolderPath(chosen)) {
        dialogs::ShowMessage(QStringLiteral("Není vybrána cílová složka!"));
        return;
    }
    if (!QDir::setCurrent(chosen)) {
        dialogs::ShowMessage(QStringLiteral("Cílový disk je nedostupný!"));
        return;
    }
    const QString installFolder = InstallFolder(chosen);
    // An existing install folder may be another file system mounted there.
    const QString targetDisk = QFileInfo(installFolder).isDir() ? installFolder : chosen;
    // Everything that will be copied, at its full 64-bit size, in the whole blocks that its files and
    // folders take, the install folder included.
    const qint64 required = shell::FolderContentSize(ProgramDir, shell::BlockSize(targetDisk));
    QDir::setCurrent(ProgramDir);
    const qint64 free = shell::FreeSpace(targetDisk);
    if (free < required) {
        dialogs::ShowMessage(QStringLiteral("Na cílovém disku není dost volného místa!"));
        return;
    }
    if (dialogs::Confirm(QStringLiteral("Opravdu chcete nainstalovat Orvela do vybrané složky?")) ==
        dialogs::MessageButton::No)
        return;
    if (shell::CopyFolderContents(ProgramDir, installFolder, this) != shell::CopyResult::Done) {
        dialogs::ShowMessage(QStringLiteral("Instalace se nezdařila!"));
        return;
    }
    // Without a desktop folder there is no place for the shortcut; the root folder is none.
    if (const QString desktop = shell::DesktopFolder(); !desktop.isEmpty())
        CreateDesktopShortcut(installFolder + QStringLiteral("/Orvela"), QString(),
                              desktop + u'/' + kShortcutName + QStringLiteral(".desktop"), kShortcutName,
                              installFolder + u'/' + kEmblemFile);
    dialogs::ShowMessage(QStringLiteral("Orvela byl kompletně nainstalován.\n"
                                        "Orvela můžete kdykoliv odinstalovat prostým vymazáním adresáře:\n") +
                         installFolder);
    close();
}

void TForm2::FormCreate() { ProgramDir = QCoreApplication::applicationDirPath(); }

void TForm2::FormClose()
{
    // The medium may be gone by now; the dialog closes all the same.
    QDir::setCurrent(ProgramDir);
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    dialogs::CentreOnScreen(*this);
}

void TForm2::done(int result)
{
    FormClose();
    QDialog::done(result);
}

} // namespace orvela
