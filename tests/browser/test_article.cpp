#include "MainWindowFixture.h"

#include "platform/dataset/ClientDataSet.h"

#include <QComboBox>
#include <QFile>
#include <QTextDocument>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orvela;
using namespace orvela::test;

namespace {
QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

int PdfPageCount(const QString& path)
{
    return int(ReadAll(path).count("/Type /Page\n") + ReadAll(path).count("/Type /Page\r") +
               ReadAll(path).count("/Type /Page>>") + ReadAll(path).count("/Type /Page "));
}

void ShowArticlePage(TForm1& w)
{
    w.PageControl1->setCurrentIndex(2);
}
} // namespace

class TestArticle final : public QObject {
    Q_OBJECT

private slots:
    void viewShowsTheCurrentArticle()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        ShowArticlePage(w);
        QCOMPARE(w.DBRichEdit1->Document()->toPlainText().trimmed(), QStringLiteral("Mohutný strom s hladkou šedou kůrou."));
        TypeText(w.Edit3, QStringLiteral("čekanka"));
        QVERIFY(w.DBRichEdit1->Document()->toPlainText().contains(QStringLiteral("Kořen čekanky")));
        QVERIFY(w.DBRichEdit1->isReadOnly());
    }

    void hugeFirstArticleWaitsForItsPage()
    {
        // The article page is in front until the first show brings the summary page forward.
        ProgramRun run([](CatalogueFolder& folder) {
            std::vector<SpeciesRow> species = SampleSpecies();
            const QByteArray paragraph = QByteArray("Velmi dlouhy clanek o buku. ").repeated(36) + "\\par\n";
            species[4].note = "{\\rtf1\\ansi " + paragraph.repeated(17 * 1024) + "}";
            QVERIFY(species[4].note.size() > 16 * 1024 * 1024);
            WriteFamilies(folder.Path(), SampleFamilies());
            WriteSpecies(folder.Path(), species);
        });
        TForm1& w = run.Window();
        QCOMPARE(run.Current(), QStringLiteral("Buk lesní"));
        QCoreApplication::processEvents();
        QVERIFY(w.DBRichEdit1->document()->isEmpty());
        TypeText(w.Edit3, QStringLiteral("čekanka"));
        ShowArticlePage(w);
        QVERIFY(w.DBRichEdit1->document()->toPlainText().contains(QStringLiteral("Kořen čekanky")));
    }

    void saveWritesTheStoredBytes()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        ShowArticlePage(w);
        const QString target = run.folder.File(QStringLiteral("out/buk.rtf"));
        const QString link = run.folder.File(QStringLiteral("out/buk-link.rtf"));
        QDir(run.folder.Path()).mkdir(QStringLiteral("out"));
        QFile existing(target);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write(QByteArray(10000, 'x')); // replaced without a question
        existing.close();
        // The file is written in place: in a folder the user may not write, through its other
        // hard link too, with its own permissions.
        QCOMPARE(::link(qPrintable(target), qPrintable(link)), 0);
        ::chmod(qPrintable(target), 0646);
        ::chmod(qPrintable(run.folder.Path()), 0711);
        ::chmod(qPrintable(run.folder.File(QStringLiteral("out"))), 0555);

        run.script.saveAnswers = {target};
        QDir::setCurrent(run.folder.File(QStringLiteral("out"))); // the dialog may leave another folder current
        QDir::setCurrent(run.folder.Path());
        ::setfsgid(65534); // as nobody, when running as root
        ::setfsuid(65534);
        w.ToolButton3->click();
        ::setfsuid(::getuid());
        ::setfsgid(::getgid());
        ::chmod(qPrintable(run.folder.File(QStringLiteral("out"))), 0755);
        QCOMPARE(run.script.Texts().last(), QString()); // the dialog, and no error after it
        QCOMPARE(ReadAll(target), SampleSpecies()[4].note);
        QCOMPARE(ReadAll(link), SampleSpecies()[4].note);
        QCOMPARE(QFileInfo(target).permissions(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                     QFileDevice::ReadUser | QFileDevice::WriteUser |
                                                     QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                                     QFileDevice::WriteOther);
        QCOMPARE(QDir::currentPath(), QDir(run.folder.Path()).canonicalPath());

        // The second save proposes the path chosen first; a cancel writes nothing.
        QTest::keyClick(w.Edit3, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(run.script.shown.last().text, target);
        QCOMPARE(ReadAll(target), SampleSpecies()[4].note);
    }

    void failedSaveRestoresTheDirectory()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        ShowArticlePage(w);
        const QString target = run.folder.File(QStringLiteral("missing-folder/a.rtf"));
        run.script.saveAnswers = {target};
        w.ToolButton3->click();
        QCOMPARE(run.script.shown.last().kind, dialogs::Script::Shown::Kind::Error);
        QCOMPARE(run.script.shown.last().text, QStringLiteral("Cannot create file %1.").arg(target));
        QCOMPARE(QDir::currentPath(), QDir(run.folder.Path()).canonicalPath());
        QVERIFY(!QFile::exists(target));
    }

    void emptyArticleSavesEmptyFileAndPrintsOnePage()
    {
        ProgramRun run([](CatalogueFolder& folder) {
            WriteFamilies(folder.Path(), SampleFamilies());
            WriteSpecies(folder.Path(), {{1, "Prázdná", "Vacua", 1, QByteArray()}});
        });
        TForm1& w = run.Window();
        ShowArticlePage(w);
        const QString target = run.folder.File(QStringLiteral("empty.rtf"));
        run.script.saveAnswers = {target};
        w.ToolButton3->click();
        QVERIFY(QFile::exists(target));
        QCOMPARE(QFileInfo(target).size(), 0);

        const QString pdf = run.folder.File(QStringLiteral("print.pdf"));
        run.script.printAnswers = {true};
        run.script.printToFile = pdf;
        w.ToolButton2->click();
        QCOMPARE(PdfPageCount(pdf), 1);
    }

    void longArticlePrintsOnSeveralPages()
    {
        QString text;
        for (int i = 0; i < 400; ++i)
            text += QStringLiteral("Odstavec číslo %1 o rostlinách.\n").arg(i);
        ProgramRun run([&text](CatalogueFolder& folder) {
            WriteFamilies(folder.Path(), SampleFamilies());
            WriteSpecies(folder.Path(), {{1, "Dlouhá", "Longa", 1, Article(text)}});
        });
        TForm1& w = run.Window();
        ShowArticlePage(w);
        const QString pdf = run.folder.File(QStringLiteral("print.pdf"));
        run.script.printAnswers = {true};
        run.script.printToFile = pdf;
        QTest::keyClick(w.Edit3, Qt::Key_P, Qt::ControlModifier);
        QVERIFY(PdfPageCount(pdf) > 3);
    }

    void accelerators()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        // A button's accelerator presses it visibly, so the click comes a moment later.
        const auto press = [&w](Qt::Key key) {
            QTest::keyClick(w.Edit3, key, Qt::AltModifier);
            QTest::qWait(250);
        };
        press(Qt::Key_T); // not on the summary page
        QVERIFY(run.script.shown.isEmpty());
        ShowArticlePage(w);
        press(Qt::Key_T);
        press(Qt::Key_L);
        QCOMPARE(run.script.shown.size(), 2);
        QCOMPARE(run.script.shown[0].kind, dialogs::Script::Shown::Kind::Print);
        QCOMPARE(run.script.shown[1].kind, dialogs::Script::Shown::Kind::SaveFile);
    }

    void printCancelledOrWithoutPrinter()
    {
        ProgramRun run;
        TForm1& w = run.Window();
        ShowArticlePage(w);
        // The dialog offers printer, settings and copies only: no page range, selection or file.
        QStringList offered;
        run.script.whileShown = [&offered](const dialogs::Script::Shown& shown) {
            if (!shown.dialog)
                return;
            shown.dialog->show();
            for (const char* name : {"gbPrintRange", "filename"})
                if (!shown.dialog->findChild<QWidget*>(name)->isHidden())
                    offered << name;
            const auto* printers = shown.dialog->findChild<QComboBox*>("printers");
            for (int i = 0; i < printers->count(); ++i)
                if (printers->itemText(i).contains("PDF"))
                    offered << printers->itemText(i);
            shown.dialog->hide();
        };
        run.script.printAnswers = {false};
        w.ToolButton2->click();
        QCOMPARE(run.script.shown.size(), 1);
        QCOMPARE(offered, QStringList());
        run.script.printerAvailable = false;
        w.ToolButton2->click();
        QCOMPARE(run.script.shown.size(), 2);
        QCOMPARE(run.script.shown.last().kind, dialogs::Script::Shown::Kind::Error);
        QCOMPARE(run.script.shown.last().text, QStringLiteral("There is no default printer currently selected."));
    }
};

QTEST_MAIN(TestArticle)
#include "test_article.moc"
