#include "platform/help/ChmFile.h"
#include "platform/help/Help.h"
#include "platform/help/HelpWindow.h"

#include <QDesktopServices>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <sys/stat.h>

using namespace orvela::help;

namespace {

const QString kBuiltFile = QStringLiteral(ORVELA_HELP_FILE);

HelpWindow* FindHelpWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<HelpWindow*>(widget))
            return window;
    }
    return nullptr;
}

HelpBrowser* Browser()
{
    HelpWindow* window = FindHelpWindow();
    return window == nullptr ? nullptr : window->findChild<HelpBrowser*>();
}

QString ShownText()
{
    HelpBrowser* browser = Browser();
    return browser == nullptr ? QString() : browser->toPlainText();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ContextMap(const QList<QPair<quint32, quint32>>& pairs, quint32 declaredSize)
{
    QByteArray map(4, '\0');
    qToLittleEndian<quint32>(declaredSize, map.data());
    for (const auto& [context, offset] : pairs) {
        char pair[8];
        qToLittleEndian<quint32>(context, pair);
        qToLittleEndian<quint32>(offset, pair + 4);
        map.append(pair, 8);
    }
    return map;
}

/// Receives the links that the help window hands to the desktop.
class LinkRecorder final : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened.append(url); }
};

} // namespace

class TestHelp final : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY2(QFile::exists(kBuiltFile), qPrintable(kBuiltFile));
        QDir::setCurrent(QFileInfo(kBuiltFile).absolutePath());
    }

    void builtFileMapsContextsToTopics_data()
    {
        QTest::addColumn<int>("context");
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QString>("heading");
        QTest::newRow("main window") << 101 << "/hlavni_okno.html" << "Hlavní okno";
        QTest::newRow("search dialog") << 102 << "/hledani.html" << "Najdi rostlinu";
        QTest::newRow("about") << 103 << "/o_programu.html" << "O programu Orvela";
    }

    void builtFileMapsContextsToTopics()
    {
        QFETCH(int, context);
        QFETCH(QString, topic);
        QFETCH(QString, heading);
        ChmFile file;
        QCOMPARE(file.Open(kBuiltFile), ChmFile::OpenResult::Opened);
        QCOMPARE(file.Title(), QStringLiteral("Orvela - nápověda"));
        QCOMPARE(file.Topic(context), topic);
        QVERIFY(!file.Topic(105));
        QCOMPARE(file.DefaultTopic(), QStringLiteral("/obsah.html"));
        QCOMPARE(file.Contents().size(), size_t(4));

        HtmlHelp(nullptr, QStringLiteral("Orvela.chm"), context);
        QVERIFY(ShownText().contains(heading));
        QCOMPARE(FindHelpWindow()->windowTitle(), QStringLiteral("Orvela - nápověda"));
    }

    // The compiler records the path it was given; the file may have been built anywhere.
    void recordedPathsAreFoundInsideTheFile_data()
    {
        QTest::addColumn<QByteArray>("recorded");
        QTest::addColumn<QString>("topic");
        QTest::newRow("build machine path") << QByteArray("/home/b/help/sub/Page.html") << "/sub/Page.html";
        QTest::newRow("relative") << QByteArray("sub/page.html") << "/sub/Page.html";
        QTest::newRow("windows path, other case") << QByteArray("C:\\help\\SUB\\PAGE.HTML") << "/sub/Page.html";
        QTest::newRow("other folder, same name") << QByteArray("/x/y/page.html#part") << "/sub/Page.html#part";
        QTest::newRow("dot segments") << QByteArray("./a/../sub/./page.html") << "/sub/Page.html";
        QTest::newRow("not stored") << QByteArray("/x/other.html") << "";
        QTest::newRow("only separators") << QByteArray("//") << "";
    }

    void recordedPathsAreFoundInsideTheFile()
    {
        QFETCH(QByteArray, recorded);
        QFETCH(QString, topic);
        ChmFile file;
        const QByteArray strings = QByteArray(1, '\0') + recorded + '\0';
        file.Assign({{"/sub/Page.html", "<p>x</p>"},
                     {"/#STRINGS", strings},
                     {"/#IVB", ContextMap({{7, 1}, {8, quint32(strings.size())}, {9, 0}}, 24)}});
        QCOMPARE(file.Topic(7).value_or(QString()), topic);
        QVERIFY2(!file.Topic(8), "an offset past the strings names no topic");
        QVERIFY2(!file.Topic(9), "an empty path names no topic");
    }

    void brokenContextMapsAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("map");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("size only") << ContextMap({}, 8);
        QTest::newRow("size larger than the table") << ContextMap({{7, 1}}, 0xFFFFFFF0u).left(10);
        QTest::newRow("half a pair") << ContextMap({{7, 1}}, 8).left(9);
    }

    void brokenContextMapsAreIgnored()
    {
        QFETCH(QByteArray, map);
        ChmFile file;
        file.Assign({{"/a.html", "a"}, {"/#STRINGS", QByteArray("\0a.html\0", 8)}, {"/#IVB", map}});
        QVERIFY(!file.Topic(7));
    }

    void noticesShowInTheWindow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("context");
        QTest::addColumn<QString>("notice");
        QTest::newRow("missing") << "Orvela.chm" << QByteArray() << 101 << "Soubor nápovědy Orvela.chm nebyl nalezen.";
        QTest::newRow("garbage") << "Orvela.chm" << QByteArray("not a help file at all") << 101
                                 << "Soubor nápovědy Orvela.chm nelze přečíst.";
        QTest::newRow("empty") << "Orvela.chm" << QByteArray("") << 101 << "Soubor nápovědy Orvela.chm nelze přečíst.";
        QTest::newRow("unknown context") << "built" << QByteArray() << 105 << "Téma nápovědy 105 nebylo nalezeno.";
        QTest::newRow("markup in the name") << "<b>x</b>.chm" << QByteArray() << 101
                                            << "Soubor nápovědy <b>x</b>.chm nebyl nalezen.";
    }

    void noticesShowInTheWindow()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(int, context);
        QFETCH(QString, notice);
        QTemporaryDir folder;
        QVERIFY(QDir::setCurrent(folder.path()));
        if (name == QLatin1String("built"))
            name = kBuiltFile;
        else if (!content.isNull())
            WriteFile(folder.filePath(name), content);
        HtmlHelp(nullptr, name, context);
        QCOMPARE(ShownText().trimmed(), notice);
    }

    void damagedFilesNeitherCrashNorHang_data()
    {
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("length");
        QTest::newRow("headers") << 0 << 0x60;
        QTest::newRow("directory") << 0x80 << 0x400;
        QTest::newRow("compressed data") << 0x2000 << 0x800;
        QTest::newRow("cut in half") << -1 << 0;
    }

    void damagedFilesNeitherCrashNorHang()
    {
        QFETCH(int, offset);
        QFETCH(int, length);
        QFile built(kBuiltFile);
        QVERIFY(built.open(QIODevice::ReadOnly));
        QByteArray bytes = built.readAll();
        if (offset < 0)
            bytes.truncate(bytes.size() / 2);
        for (int at = offset; at >= 0 && at < offset + length && at < bytes.size(); ++at)
            bytes[at] = char(bytes[at] * 37 + at);
        QTemporaryDir folder;
        WriteFile(folder.filePath("Orvela.chm"), bytes);
        ChmFile file;
        if (file.Open(folder.filePath("Orvela.chm")) == ChmFile::OpenResult::Opened) {
            for (int context : {101, 102, 103})
                (void)file.Read(file.Topic(context).value_or(QString()));
        }
    }

    // chmlib walks the directory's chain of listing blocks without looking for loops.
    void aLoopingDirectoryIsGivenUp()
    {
        QFile built(kBuiltFile);
        QVERIFY(built.open(QIODevice::ReadOnly));
        QByteArray bytes = built.readAll();
        const auto listing = bytes.indexOf("PMGL");
        QVERIFY(listing > 0);
        qToLittleEndian<qint32>(0, bytes.data() + listing + 0x10); // the block's successor is itself
        QTemporaryDir folder;
        WriteFile(folder.filePath("Orvela.chm"), bytes);
        QElapsedTimer clock;
        clock.start();
        ExtractLimits limits;
        limits.timeoutMs = 300;
        QVERIFY(!ExtractChm(folder.filePath("Orvela.chm"), limits));
        QVERIFY(clock.elapsed() < 3000);
    }

    void specialFilesAreNotRead()
    {
        QTemporaryDir folder;
        QVERIFY(QDir::setCurrent(folder.path()));
        QVERIFY(QDir().mkdir("Orvela.chm"));
        HtmlHelp(nullptr, "Orvela.chm", 101);
        QCOMPARE(ShownText().trimmed(), QStringLiteral("Soubor nápovědy Orvela.chm nebyl nalezen."));
        QCOMPARE(::mkfifo(qPrintable(folder.filePath("pipe.chm")), 0600), 0);
        HtmlHelp(nullptr, "pipe.chm", 101); // a read here would wait for ever
        QCOMPARE(ShownText().trimmed(), QStringLiteral("Soubor nápovědy pipe.chm nebyl nalezen."));
    }

    void relativeNameUsesTheCurrentDirectoryOfTheCall()
    {
        QTemporaryDir withHelp;
        QTemporaryDir without;
        QVERIFY(QFile::copy(kBuiltFile, withHelp.filePath("Orvela.chm")));
        QVERIFY(QDir::setCurrent(withHelp.path()));
        HtmlHelp(nullptr, "Orvela.chm", 102);
        QVERIFY(ShownText().contains("Najdi rostlinu"));
        QVERIFY(QDir::setCurrent(without.path()));
        HtmlHelp(nullptr, "Orvela.chm", 102);
        QCOMPARE(ShownText().trimmed(), QStringLiteral("Soubor nápovědy Orvela.chm nebyl nalezen."));
    }

    void oneWindowOwnedByTheCallersWindow()
    {
        QDialog dialog;
        auto* button = new QWidget(&dialog);
        HtmlHelp(button, "Orvela.chm", 102);
        HtmlHelp(button, "Orvela.chm", 103);
        int windows = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            windows += qobject_cast<HelpWindow*>(widget) != nullptr;
        QCOMPARE(windows, 1);
        // Owned by the dialog, the help window takes input while the dialog is modal.
        QCOMPARE(FindHelpWindow()->parentWidget(), &dialog);
        QVERIFY(FindHelpWindow()->isWindow());
        QVERIFY(FindHelpWindow()->isVisible());
        QVERIFY(ShownText().contains("O programu Orvela"));
    }

    void linksStayInsideTheFileOrGoToTheDesktop()
    {
        HtmlHelp(nullptr, "Orvela.chm", 101);
        HelpBrowser* browser = Browser();
        emit browser->anchorClicked(QUrl("hledani.html"));
        QCOMPARE(browser->source(), HelpBrowser::PageUrl("/hledani.html"));
        QVERIFY(browser->toPlainText().contains("Jen plané rostliny"));
        emit browser->anchorClicked(QUrl("ms-its:Orvela.chm::/o_programu.html#instalace"));
        QCOMPARE(browser->source(), HelpBrowser::PageUrl("/o_programu.html#instalace"));
        emit browser->anchorClicked(QUrl("chybi.html"));
        QVERIFY(browser->toPlainText().contains("Stránka /chybi.html v souboru nápovědy chybí."));

        LinkRecorder recorder;
        QDesktopServices::setUrlHandler("mailto", &recorder, "Open");
        QDesktopServices::setUrlHandler("file", &recorder, "Open");
        emit browser->anchorClicked(QUrl("mailto:autor@example.cz?subject=Orvela"));
        emit browser->anchorClicked(QUrl("file:///etc/passwd"));
        QDesktopServices::unsetUrlHandler("mailto");
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(recorder.opened, QList<QUrl>{QUrl("mailto:autor@example.cz?subject=Orvela")});
    }

    void resourcesComeOnlyFromTheFile()
    {
        HtmlHelp(nullptr, "Orvela.chm", 103);
        HelpBrowser* browser = Browser();
        const QVariant image = browser->loadResource(QTextDocument::ImageResource, QUrl("chm:/obrazky/list.png"));
        QCOMPARE(image.value<QImage>().size(), QSize(48, 48));
        const QUrl css = browser->source().resolved(QUrl("styl.css"));
        QVERIFY(browser->loadResource(QTextDocument::StyleSheetResource, css).toString().contains("#000080"));
        QVERIFY(!browser->loadResource(QTextDocument::ImageResource, QUrl("chm:/obsah.html")).isValid());
        QVERIFY(!browser->loadResource(QTextDocument::HtmlResource, QUrl::fromLocalFile(kBuiltFile)).isValid());
    }

    void handlerReplacesTheWindow()
    {
        QWidget caller;
        QList<std::tuple<QWidget*, QString, int>> calls;
        SetHandler([&](QWidget* widget, const QString& name, int context) { calls.append({widget, name, context}); });
        delete FindHelpWindow();
        HtmlHelp(&caller, "Orvela.chm", 102);
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls.front(), std::make_tuple(&caller, QStringLiteral("Orvela.chm"), 102));
        QVERIFY(FindHelpWindow() == nullptr);
        SetHandler({});
        HtmlHelp(&caller, "Orvela.chm", 102);
        QCOMPARE(calls.size(), 1);
        QVERIFY(FindHelpWindow() != nullptr);
    }

    void contentsFileIsReadTolerantly()
    {
        const auto entries = ParseContents(
            "<ul><li><object type=\"text/sitemap\"><param name=\"Name\" value=\"A &amp; B\">"
            "<param name=Local value='a.html'></object><!-- <ul> --><UL><LI><OBJECT type=\"text/sitemap\">"
            "<PARAM name=\"Name\" value=\"&#268;e&#x10F;\"><param name=\"Local\" value=\"b.html\"></OBJECT>"
            "</UL></ul><object><param name=\"Name\" value=\"unclosed");
        QCOMPARE(entries.size(), size_t(2));
        QCOMPARE(entries[0].name, QStringLiteral("A & B"));
        QCOMPARE(entries[0].local, QStringLiteral("a.html"));
        QCOMPARE(entries[0].depth, 0);
        QCOMPARE(entries[1].name, QStringLiteral("Čeď"));
        QCOMPARE(entries[1].depth, 1);
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
