#include "installer/Instal.h"
#include "platform/dialogs/CentreOnScreen.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/shell/Desktop.h"
#include "platform/shell/Drive.h"
#include "platform/shell/FolderTree.h"
#include "tests/shell/ShellFixtures.h"

#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace orvela;
using namespace orvela::testing;
using Kind = dialogs::Script::Shown::Kind;

namespace {
const QString kFinalText = QStringLiteral("Orvela byl kompletně nainstalován.\n"
                                          "Orvela můžete kdykoliv odinstalovat prostým vymazáním adresáře:\n");
const QString kConfirmText = QStringLiteral("Opravdu chcete nainstalovat Orvela do vybrané složky?");
const QString kNoSpace = QStringLiteral("Na cílovém disku není dost volného místa!");
constexpr qint64 kUnreadable = -1000; // free space the probe reports as unreadable
constexpr qint64 kByteTotal = -2000;  // free space that holds the files' bytes but not their whole blocks
constexpr qint64 kFileBlocks = -3000; // free space that holds the files' blocks but not the folders' ones

void DeleteClosed() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

QWidget* NextTabStop(QWidget* widget)
{
    do
        widget = widget->nextInFocusChain();
    while (!(widget->focusPolicy() & Qt::TabFocus));
    return widget;
}
} // namespace

class TestInstaller final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void windowFacts();
    void centredByFrame_data();
    void centredByFrame();
    void targetDisplay_data();
    void targetDisplay();
    void openingStartsAtComputer();
    void stops_data();
    void stops();
    void installs();
    void reinstallAsksBeforeReplacing_data();
    void reinstallAsksBeforeReplacing();
    void failuresAfterConfirmation();
    void noDesktopFolder_data();
    void noDesktopFolder();
    void confirmationSpeaksCzech();
    void closing_data();
    void closing();

private:
    /// A shown dialog working on the fake program folder, with `path` selected when given.
    TForm2* Open(const QString& path = QString());

    QString startDir_;
    std::unique_ptr<QTemporaryDir> programDir_, targets_, desktop_;
};

void TestInstaller::init()
{
    startDir_ = QDir::currentPath();
    programDir_ = std::make_unique<QTemporaryDir>();
    targets_ = std::make_unique<QTemporaryDir>();
    desktop_ = std::make_unique<QTemporaryDir>();
    MakeProgramTree(programDir_->path());
    shell::SetDesktopFolderProbe([this] { return desktop_->path(); });
}

void TestInstaller::cleanup()
{
    shell::SetDesktopFolderProbe({});
    shell::SetFreeSpaceProbe({});
    for (QWidget* window : QApplication::topLevelWidgets())
        if (qobject_cast<TForm2*>(window))
            delete window;
    QDir::setCurrent(startDir_);
}

TForm2* TestInstaller::Open(const QString& path)
{
    auto* form = new TForm2(nullptr);
    ProgramDir = programDir_->path();
    form->show();
    if (!path.isEmpty() && !form->Tree->SetPath(path))
        qWarning() << "cannot select" << path;
    return form;
}

void TestInstaller::windowFacts()
{
    TForm2* form = Open();
    QCOMPARE(form->windowTitle(), QString("Instalace"));
    QCOMPARE(form->Button1->font().pixelSize(), 15);
    QCOMPARE(form->minimumSize(), QSize(426, 379));
    QCOMPARE(form->maximumSize(), QSize(426, 379));
    QVERIFY(!(form->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(form->Label1->geometry(), QRect(10, 309, form->Label1->sizeHint().width(), 16));
    QCOMPARE(NextTabStop(form->Tree), static_cast<QWidget*>(form->Button1));
    QCOMPARE(NextTabStop(form->Button1), static_cast<QWidget*>(form->Button2));
    const QPoint screenCentre = form->screen()->availableGeometry().center();
    QVERIFY((form->frameGeometry().center() - screenCentre).manhattanLength() <= 1);

    // No default button: Enter in the tree or on "Nainstaluj" starts nothing.
    form->Tree->SetPath(targets_->path());
    dialogs::Script script;
    QTest::keyClick(form->Tree, Qt::Key_Return);
    form->Button1->setFocus();
    QTest::keyClick(form->Button1, Qt::Key_Return);
    QVERIFY(script.shown.isEmpty());
    QVERIFY(form->isVisible());
}

void TestInstaller::centredByFrame_data()
{
    QTest::addColumn<QMargins>("frame");
    QTest::newRow("no frame") << QMargins();
    QTest::newRow("title bar") << QMargins(1, 20, 1, 1);
    QTest::newRow("uneven, odd") << QMargins(4, 31, 7, 2);
}

void TestInstaller::centredByFrame()
{
    // The whole window, frame included, has as much room above as below and left as right.
    QFETCH(QMargins, frame);
    const QRect area(0, 24, 1280, 1000);
    const QRect client = dialogs::CentredByFrame(QSize(426, 379), frame, area);
    QCOMPARE(client.size(), QSize(426, 379));
    const QRect whole = client.marginsAdded(frame);
    QVERIFY(qAbs((whole.left() - area.left()) - (area.right() - whole.right())) <= 1);
    QVERIFY(qAbs((whole.top() - area.top()) - (area.bottom() - whole.bottom())) <= 1);
}

void TestInstaller::targetDisplay_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("display");
    const QString path53 = "/" + QString(52, 'y');
    QTest::newRow("nothing selected") << ""
                                      << "";
    QTest::newRow("root keeps one separator") << "/"
                                              << "/Orvela";
    QTest::newRow("folder") << "/home/jan"
                            << "/home/jan/Orvela";
    QTest::newRow("exactly 60 stays whole") << path53 << path53 + "/Orvela";
    QTest::newRow("61 without other separators") << "/mn" + QString(51, 'x') << "/mn../Orvela";
    QTest::newRow("long, cut at a separator") << "/d/Dokumenty/Skola/Prirodopis/Biologie/Programy/Instalace"
                                              << "/d/../Skola/Prirodopis/Biologie/Programy/Instalace/Orvela";
    QTest::newRow("characters outside the basic plane")
        << "/\U0001F33F\U0001F33F\U0001F33F/" + QString(55, 'a') << "/\U0001F33F\U0001F33F../Orvela";
}

void TestInstaller::targetDisplay()
{
    QFETCH(QString, path);
    QTEST(TargetDisplay(path), "display");
}

void TestInstaller::openingStartsAtComputer()
{
    QPointer<TForm2> first = Open(targets_->path());
    QCOMPARE(first->Label1->text(), TargetDisplay(targets_->path()));
    first->close();
    auto* second = new TForm2(nullptr);
    QCOMPARE(ProgramDir, QCoreApplication::applicationDirPath());
    QCOMPARE(second->Tree->Path(), QString::fromUtf16(shell::FolderTree::kComputerName));
    QCOMPARE(second->Label1->text(), QString("Tento počítač/Orvela"));
    delete second;
}

void TestInstaller::stops_data()
{
    QTest::addColumn<QString>("selection"); // "computer", "none", "gone" or a folder under the targets
    QTest::addColumn<qint64>("spare");      // free space minus what the copy needs
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("programDirCurrent");
    QTest::newRow("computer item") << "computer" << qint64(0) << QStringList{"Není vybrána cílová složka!"} << false;
    QTest::newRow("nothing selected") << "none" << qint64(0) << QStringList{"Není vybrána cílová složka!"} << false;
    QTest::newRow("folder gone since listed")
        << "gone" << qint64(0) << QStringList{"Cílový disk je nedostupný!"} << false;
    QTest::newRow("one byte short") << "t" << qint64(-1) << QStringList{kNoSpace} << true;
    QTest::newRow("bytes fit, blocks do not") << "t" << kByteTotal << QStringList{kNoSpace} << true;
    QTest::newRow("files fit, folders do not") << "t" << kFileBlocks << QStringList{kNoSpace} << true;
    QTest::newRow("free space unreadable") << "t" << kUnreadable << QStringList{kNoSpace} << true;
    QTest::newRow("exactly enough, then No") << "t" << qint64(0) << QStringList{kConfirmText} << true;
}

void TestInstaller::stops()
{
    QFETCH(QString, selection);
    QFETCH(qint64, spare);
    const qint64 block = shell::BlockSize(targets_->path());
    const qint64 required = shell::FolderContentSize(programDir_->path(), block);
    const qint64 bytes = shell::FolderContentSize(programDir_->path());
    // The folders the copy makes: the install folder and the five of the program folder.
    const qint64 fileBlocks = required - 6 * block;
    QVERIFY(bytes < fileBlocks);
    shell::SetFreeSpaceProbe([=](const QString&) {
        if (spare == kUnreadable)
            return qint64(-1);
        return spare == kByteTotal ? bytes : spare == kFileBlocks ? fileBlocks : required + spare;
    });
    const QString folder = targets_->filePath(selection);
    QDir().mkpath(folder);
    TForm2* form = Open(selection == "computer" || selection == "none" ? QString() : folder);
    if (selection == "none")
        form->Tree->clearSelection();
    if (selection == "gone")
        QDir().rmdir(folder);
    QDir::setCurrent(targets_->path());
    dialogs::Script script;
    script.confirmAnswers = {dialogs::MessageButton::No};
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    QTEST(script.Texts(), "texts");
    QTEST(QDir::currentPath() == programDir_->path(), "programDirCurrent");
    QVERIFY(!QFileInfo::exists(folder + "/Orvela"));
    QVERIFY(form->isVisible());
}

void TestInstaller::installs()
{
    QPointer<TForm2> form = Open(targets_->path());
    dialogs::Script script;
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    const QString installFolder = targets_->filePath("Orvela");
    QCOMPARE(script.Texts(), (QStringList{kConfirmText, kFinalText + installFolder}));
    QCOMPARE(TreeListing(installFolder), TreeListing(programDir_->path()));
    QCOMPARE(QDir::currentPath(), programDir_->path());

    const QString link = desktop_->filePath("BOTANICKÝ ORVELA.desktop");
    QVERIFY(QFileInfo(link).isExecutable());
    const QStringList lines = QString::fromUtf8(ReadFile(link)).split('\n');
    for (const QString& line :
         QStringList{"Name=BOTANICKÝ ORVELA", "Exec=" + installFolder + "/Orvela",
                     "Path=" + installFolder + "/", "Icon=" + installFolder + "/Orvela.svg"})
        QVERIFY2(lines.contains(line), qPrintable(line));
    QVERIFY(QFileInfo(installFolder + "/Orvela.svg").isFile());
    QProcess validate;
    validate.start("desktop-file-validate", {link});
    QVERIFY2(validate.waitForFinished(), "desktop-file-validate (desktop-file-utils) is missing");
    QCOMPARE(validate.readAll() + validate.readAllStandardError(), QByteArray());
    QCOMPARE(validate.exitCode(), 0);
    DeleteClosed();
    QVERIFY(form.isNull());
}

void TestInstaller::reinstallAsksBeforeReplacing_data()
{
    QTest::addColumn<shell::ReplaceAnswer>("answer");
    QTest::addColumn<QString>("lastText");
    QTest::newRow("keep every file") << shell::ReplaceAnswer::NoToAll << kFinalText + "%1";
    QTest::newRow("cancel") << shell::ReplaceAnswer::Cancel << "Instalace se nezdařila!";
}

void TestInstaller::reinstallAsksBeforeReplacing()
{
    QFETCH(shell::ReplaceAnswer, answer);
    QFETCH(QString, lastText);
    const QString installFolder = targets_->filePath("Orvela");
    WriteFile(installFolder + "/Orvela.xml", "edited by the user");
    ReplaceScript replace;
    replace.answers = {answer};
    TForm2* form = Open(targets_->path());
    dialogs::Script script;
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    QCOMPARE(replace.asked, QStringList{"Orvela.xml"});
    QCOMPARE(script.Texts().last(), QString(lastText).replace("%1", installFolder));
    QCOMPARE(ReadFile(installFolder + "/Orvela.xml"), QByteArray("edited by the user"));
}

void TestInstaller::failuresAfterConfirmation()
{
    // A target inside the program folder: refused with the copy's error, then the installer's message.
    QDir().mkpath(programDir_->filePath("sub"));
    TForm2* form = Open(programDir_->filePath("sub"));
    dialogs::Script script;
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    QCOMPARE(script.shown.size(), 3);
    QVERIFY(script.shown[1].kind == Kind::Error);
    QCOMPARE(script.shown[2].text, QString("Instalace se nezdařila!"));
    QVERIFY(!QFileInfo::exists(programDir_->filePath("sub/Orvela")));

    // A launcher that cannot be written: the copy stays, the error is shown, no success is claimed.
    WriteFile(desktop_->filePath("Plocha"), "a file, not a folder");
    shell::SetDesktopFolderProbe([this] { return desktop_->filePath("Plocha"); });
    form->Tree->SetPath(targets_->path());
    script.shown.clear();
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    QCOMPARE(script.Texts(),
             (QStringList{kConfirmText,
                          "Cannot create file " + desktop_->filePath("Plocha/BOTANICKÝ ORVELA.desktop") + "."}));
    QVERIFY(QFileInfo::exists(targets_->filePath("Orvela/Orvela")));
    QVERIFY(form->isVisible());
}

void TestInstaller::noDesktopFolder_data()
{
    QTest::addColumn<QString>("desktop");
    QTest::newRow("none named") << "";
    QTest::newRow("named, not on disk") << "Plocha";
}

void TestInstaller::noDesktopFolder()
{
    // The install ends as a successful one without a shortcut, and none lands in the root folder.
    QFETCH(QString, desktop);
    const QString folder = desktop.isEmpty() ? desktop : desktop_->filePath(desktop);
    shell::SetDesktopFolderProbe([folder] { return folder; });
    QPointer<TForm2> form = Open(targets_->path());
    dialogs::Script script;
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    QCOMPARE(script.Texts(), (QStringList{kConfirmText, kFinalText + targets_->filePath("Orvela")}));
    QVERIFY(QFileInfo::exists(targets_->filePath("Orvela/Orvela")));
    QVERIFY(!QFileInfo::exists("/BOTANICKÝ ORVELA.desktop"));
    QVERIFY(!QFileInfo::exists(folder));
    DeleteClosed();
    QVERIFY(form.isNull());
}

void TestInstaller::confirmationSpeaksCzech()
{
    QVERIFY(dialogs::LoadCzechQtTexts());
    TForm2* form = Open(targets_->path());
    QStringList buttons;
    QTimer::singleShot(0, [&buttons] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        for (const QAbstractButton* button : box->buttons())
            buttons << button->text();
        box->escapeButton()->click();
    });
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    buttons.sort();
    QCOMPARE(buttons, (QStringList{"&Ano", "&Ne"}));
    QVERIFY(!QFileInfo::exists(targets_->filePath("Orvela")));
}

void TestInstaller::closing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("programDirGone");
    QTest::newRow("Zavři") << "button" << false;
    QTest::newRow("Esc") << "escape" << false;
    QTest::newRow("close box") << "close" << false;
    QTest::newRow("program medium removed") << "button" << true;
}

void TestInstaller::closing()
{
    QFETCH(QString, how);
    QFETCH(bool, programDirGone);
    QPointer<TForm2> form = new TForm2(nullptr);
    ProgramDir = programDirGone ? programDir_->filePath("gone") : programDir_->path();
    QDir::setCurrent(targets_->path());
    dialogs::Script script;
    QTimer::singleShot(0, form, [&] {
        if (how == "button")
            QTest::mouseClick(form->Button2, Qt::LeftButton);
        else if (how == "escape")
            QTest::keyClick(form->Tree, Qt::Key_Escape);
        else
            form->close();
    });
    QCOMPARE(form->exec(), int(QDialog::Rejected));
    QVERIFY(script.shown.isEmpty());
    QCOMPARE(QDir::currentPath(), programDirGone ? targets_->path() : programDir_->path());
    DeleteClosed();
    QVERIFY(form.isNull());
}

QTEST_MAIN(TestInstaller)
#include "test_installer.moc"
