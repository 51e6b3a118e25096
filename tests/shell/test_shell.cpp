#include "platform/dialogs/Dialogs.h"
#include "platform/dialogs/OpenUrl.h"
#include "platform/shell/Desktop.h"
#include "platform/shell/Drive.h"
#include "platform/shell/FolderCopy.h"
#include "platform/shell/FolderTree.h"
#include "tests/shell/ShellFixtures.h"

#include <QApplication>
#include <QMenu>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace orvela;
using namespace orvela::shell;
using namespace orvela::testing;
using A = ReplaceAnswer;

class TestShell final : public QObject {
    Q_OBJECT

private slots:
    void driveTypeAndFreeSpace();
    void copyReproducesTree();
    void replaceQuestion_data();
    void replaceQuestion();
    void cancelKeepsWholeFilesOnly();
    void writeFailureLeavesNoTruncatedFile();
    void desktopEntryExec_data();
    void desktopEntryExec();
    void folderTreeRootAndPaths();
    void folderTreeListsFoldersSorted();
    void folderTreeSelection();
};

void TestShell::driveTypeAndFreeSpace()
{
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QCOMPARE(CurrentDriveType(), DriveType::Fixed);
    SetDriveTypeProbe([] { return DriveType::CdRom; });
    QCOMPARE(CurrentDriveType(), DriveType::CdRom);
    SetDriveTypeProbe({});
    QDir::setCurrent(before);

    QVERIFY(FreeSpace(dir.path()) > 0);
    QCOMPARE(FreeSpace(dir.filePath("missing")), -1);
    QCOMPARE(FreeSpace(QString()), -1);
}

void TestShell::copyReproducesTree()
{
    QTemporaryDir source, target;
    MakeProgramTree(source.path());
    // Each folder takes a block: the copy's own folder and the five inside it.
    QCOMPARE(FolderContentSize(source.path()), qint64(10 + 7 + 62 + 1 + 3000 + 5000 + 5 + 6));
    QCOMPARE(FolderContentSize(source.path(), 4096), qint64((1 + 1 + 1 + 1 + 1 + 2 + 1 + 6) * 4096));
    QCOMPARE(FolderContentSize(source.filePath("missing"), 4096), qint64(0));
    dialogs::Script script;
    const QString into = target.filePath("a/b/Orvela");
    QCOMPARE(CopyFolderContents(source.path(), into, nullptr), CopyResult::Done);
    QCOMPARE(TreeListing(into), TreeListing(source.path()));
    QCOMPARE(ReadFile(into + "/Foto/O1_1.jpg"), QByteArray(5000, 'b'));
    QVERIFY(QFileInfo(into + "/Orvela").isExecutable());
    QVERIFY(script.shown.isEmpty());

    QFile::link(into, target.filePath("link"));
    QVERIFY(IsSameOrInside(target.filePath("link/new/Orvela"), into));
    QVERIFY(!IsSameOrInside(into + "2", into));
    QVERIFY(!IsSameOrInside(into + "/../other", into));
    // Refused both ways round, before anything is written.
    QCOMPARE(CopyFolderContents(into, into + "/help/Orvela", nullptr), CopyResult::Failed);
    QCOMPARE(CopyFolderContents(into + "/help", into, nullptr), CopyResult::Failed);
    QCOMPARE(script.shown.size(), 2);
    QCOMPARE(TreeListing(into), TreeListing(source.path()));
}

void TestShell::replaceQuestion_data()
{
    QTest::addColumn<QList<A>>("answers");
    QTest::addColumn<int>("questions");
    QTest::addColumn<CopyResult>("result");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::newRow("no, yes") << QList<A>{A::No, A::Yes} << 2 << CopyResult::Done << QByteArray("old")
                             << QByteArray(5000, 'b');
    QTest::newRow("yes to all") << QList<A>{A::YesToAll} << 1 << CopyResult::Done << QByteArray(3000, 'a')
                                << QByteArray(5000, 'b');
    QTest::newRow("no to all") << QList<A>{A::NoToAll} << 1 << CopyResult::Done << QByteArray("old")
                               << QByteArray("old");
    QTest::newRow("cancel") << QList<A>{A::Cancel} << 1 << CopyResult::Cancelled << QByteArray("old")
                            << QByteArray("old");
}

void TestShell::replaceQuestion()
{
    QFETCH(QList<A>, answers);
    QFETCH(int, questions);
    QFETCH(CopyResult, result);
    QTemporaryDir source, target;
    MakeProgramTree(source.path());
    WriteFile(target.filePath("Foto/O1_0.jpg"), "old");
    WriteFile(target.filePath("Foto/O1_1.jpg"), "old");
    ReplaceScript replace;
    replace.answers = answers;
    QCOMPARE(CopyFolderContents(source.path(), target.path(), nullptr), result);
    QCOMPARE(replace.asked.size(), questions);
    QTEST(ReadFile(target.filePath("Foto/O1_0.jpg")), "first");
    QTEST(ReadFile(target.filePath("Foto/O1_1.jpg")), "second");
}

void TestShell::cancelKeepsWholeFilesOnly()
{
    QTemporaryDir source, target;
    MakeProgramTree(source.path());
    int filesCopied = 0;
    SetCopyProgressHook([&](QProgressDialog& progress) {
        if (++filesCopied == 3)
            progress.cancel();
    });
    const CopyResult result = CopyFolderContents(source.path(), target.path(), nullptr);
    SetCopyProgressHook({});
    QCOMPARE(result, CopyResult::Cancelled);
    QCOMPARE(TreeListing(target.path()), (QStringList{".hidden", "Foto/", "Foto/O1_0.jpg"}));
    QCOMPARE(ReadFile(target.filePath("Foto/O1_0.jpg")), QByteArray(3000, 'a'));
}

void TestShell::writeFailureLeavesNoTruncatedFile()
{
    // A file-size limit makes writes fail part-way, as a full disk does; the process is not killed for it.
    QTemporaryDir source, target;
    WriteFile(source.filePath("a.txt"), "small");
    WriteFile(source.filePath("b.bin"), QByteArray(64 * 1024, 'x'));
    WriteFile(target.filePath("b.bin"), "previous");
    ReplaceScript replace;
    dialogs::Script script;
    // The progress window stays closed while the error is up, even once its delay has passed.
    bool progressShown = false;
    script.whileShown = [&progressShown](const dialogs::Script::Shown&) {
        QTest::qWait(700);
        for (const QWidget* window : QApplication::topLevelWidgets())
            progressShown |= qobject_cast<const QProgressDialog*>(window) && window->isVisible();
    };
    const auto oldHandler = std::signal(SIGXFSZ, SIG_DFL);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = 16 * 1024;
    setrlimit(RLIMIT_FSIZE, &limited);
    const CopyResult result = CopyFolderContents(source.path(), target.path(), nullptr);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(result, CopyResult::Failed);
    // The system's own reason, as it words it.
    QCOMPARE(script.Texts(), QStringList{QString("Soubor %1 nelze zapsat: %2.")
                                             .arg(target.filePath("b.bin"), QString::fromLocal8Bit(strerror(EFBIG)))});
    QVERIFY(!progressShown);
    QCOMPARE(TreeListing(target.path()), (QStringList{"a.txt", "b.bin"}));
    QCOMPARE(ReadFile(target.filePath("b.bin")), QByteArray("previous"));
}

void TestShell::desktopEntryExec_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "/opt/Orvela/Orvela"
                           << "Exec=/opt/Orvela/Orvela";
    QTest::newRow("space") << "/home/jan/Moje programy/Orvela"
                           << "Exec=\"/home/jan/Moje programy/Orvela\"";
    QTest::newRow("dollar and quote") << "/a$b/\"c\""
                                      << "Exec=\"/a\\\\$b/\\\\\"c\\\\\"\"";
    QTest::newRow("percent") << "/100%/Orvela"
                             << "Exec=/100%%/Orvela";
}

void TestShell::desktopEntryExec()
{
    QFETCH(QString, target);
    QFETCH(QString, exec);
    const QStringList lines = DesktopEntryText({"Orvela", target, "", "/x/", "Popis\nřádky", ""}).split('\n');
    QCOMPARE(lines.first(), QString("[Desktop Entry]"));
    QVERIFY(lines.contains(exec));
    QVERIFY(lines.contains("Comment=Popis\\nřádky"));
}

void TestShell::folderTreeRootAndPaths()
{
    FolderTree tree;
    QCOMPARE(tree.Path(), QString::fromUtf16(FolderTree::kComputerName));
    const QModelIndex computer = tree.model()->index(0, 0);
    QVERIFY(tree.isExpanded(computer));
    QStringList childPaths;
    for (int row = 0; row < tree.model()->rowCount(computer); ++row) {
        tree.setCurrentIndex(tree.model()->index(row, 0, computer));
        childPaths << tree.Path();
    }
    QVERIFY(childPaths.contains("/"));
    QCOMPARE(childPaths.last(), QDir::homePath());
    for (const QString& path : childPaths)
        QVERIFY2(!path.startsWith("/proc") && QFileInfo(path).isDir(), qPrintable(path));

    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("a/b"));
    QVERIFY(tree.SetPath(dir.filePath("a/b") + "/"));
    QCOMPARE(tree.Path(), dir.filePath("a/b"));
    QVERIFY(!tree.SetPath(dir.filePath("missing")));
    tree.clearSelection();
    QCOMPARE(tree.Path(), QString());
}

void TestShell::folderTreeListsFoldersSorted()
{
    QTemporaryDir dir;
    for (const char* name : {"beta/x", "Alfa/.skryta", "Čáp", "foto10", "foto2", "Zeta", ".skryta"})
        QDir().mkpath(dir.filePath(QString::fromUtf8(name)));
    WriteFile(dir.filePath("soubor.txt"), "not a folder");
    FolderTree tree;
    QVERIFY(tree.SetPath(dir.path()));
    const QModelIndex folder = tree.currentIndex();
    tree.expand(folder);
    QDir().mkpath(dir.filePath("afterwards")); // not watched
    QStringList names;
    for (int row = 0; row < tree.model()->rowCount(folder); ++row)
        names << tree.model()->index(row, 0, folder).data().toString();
    QCOMPARE(names, (QStringList{"Alfa", "beta", "Čáp", "foto2", "foto10", "Zeta"}));
    // The expand mark only where a listed folder lies inside.
    QVERIFY(!tree.model()->hasChildren(tree.model()->index(0, 0, folder)));
    QVERIFY(tree.model()->hasChildren(tree.model()->index(1, 0, folder)));
}

void TestShell::folderTreeSelection()
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("a"));
    QDir().mkpath(dir.filePath("b"));
    FolderTree tree;
    tree.resize(400, 300);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    QVERIFY(tree.SetPath(dir.path()));
    tree.expand(tree.currentIndex());
    QStringList seen;
    tree.OnChange = [&] { seen << tree.Path(); };
    QTest::keyClick(tree.viewport(), Qt::Key_Down);
    const QRect b = tree.visualRect(tree.model()->index(1, 0, tree.currentIndex().parent()));
    // A right click offers the folder under the pointer, and opening it leaves the selection.
    QList<QUrl> opened;
    dialogs::SetUrlOpener([&opened](const QUrl& url) { opened << url; });
    // Through the window, which turns the right button into the context menu request.
    QTest::mouseClick(tree.windowHandle(), Qt::RightButton, {}, tree.viewport()->mapTo(&tree, b.center()));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions()[0]->text(), QString("Otevřít"));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions()[0]).center());
    dialogs::SetUrlOpener({});
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(dir.filePath("b"))});
    QVERIFY(!QApplication::activePopupWidget());
    QCOMPARE(seen, QStringList{dir.filePath("a")});
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, b.center());
    QCOMPARE(seen, (QStringList{dir.filePath("a"), dir.filePath("b")}));
}

QTEST_MAIN(TestShell)
#include "test_shell.moc"
