#include "browser/About.h"
#include "browser/Icons.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/dialogs/OpenUrl.h"
#include "platform/help/Help.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSvgRenderer>
#include <QTimer>
#include <QUrl>
#include <QtTest>

using namespace orvela;

namespace {

struct HelpCall {
    QWidget* caller;
    QString fileName;
    int context;
};

enum class Action { Escape, ClickOk, CloseBox, EnterOnOk, EnterOnMore, ClickMore };

/// Result exec() returns when the box was still open after the action.
constexpr int kStillOpen = 42;

/// Texts, places and fonts of everything the box shows, to compare two openings.
QStringList Snapshot(const TAboutBox& box)
{
    const QWidget* focus = QApplication::focusWidget();
    QStringList lines{box.windowTitle() + QStringLiteral(" %1x%2").arg(box.width()).arg(box.height()),
                      QStringLiteral("focus ") + (focus ? focus->objectName() : QString())};
    for (const QWidget* widget : box.findChildren<QWidget*>()) {
        QString text;
        if (auto* label = qobject_cast<const QLabel*>(widget))
            text = label->text();
        else if (auto* button = qobject_cast<const QPushButton*>(widget))
            text = button->text();
        const QRect g = widget->geometry();
        lines << QStringLiteral("%1 '%2' %3,%4 %5x%6 %7")
                     .arg(widget->objectName(), text)
                     .arg(g.x())
                     .arg(g.y())
                     .arg(g.width())
                     .arg(g.height())
                     .arg(widget->font().toString());
    }
    return lines;
}

QWidget* Child(TAboutBox& box, const char* name)
{
    auto* widget = box.findChild<QWidget*>(QLatin1String(name));
    if (!widget)
        qFatal("no control %s", name);
    return widget;
}

/// Opens the box modally, as the main window does, and runs the action from inside its loop.
/// Returns the box's result, kStillOpen when the action left it open, -1 when it hung.
int ExecWith(TAboutBox& box, const std::function<void()>& action)
{
    QTimer hung;
    hung.setSingleShot(true);
    QObject::connect(&hung, &QTimer::timeout, &box, [&box] { box.done(-1); });
    hung.start(5000);
    QTimer::singleShot(0, &box, [&box, action] {
        action();
        if (box.isVisible())
            QTimer::singleShot(0, &box, [&box] { box.done(kStillOpen); });
    });
    return box.exec();
}

} // namespace

class TestAbout final : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        helpCalls.clear();
        openedUrls.clear();
        help::SetHandler([this](QWidget* caller, const QString& fileName, int context) {
            helpCalls.push_back({caller, fileName, context});
        });
        dialogs::SetUrlOpener([this](const QUrl& url) { openedUrls << url.toString(); });
    }

    void cleanup()
    {
        help::SetHandler({});
        dialogs::SetUrlOpener({});
    }

    void closingAndHelp_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("helpOpened");

        QTest::newRow("Escape closes with OK") << Action::Escape << int(QDialog::Accepted) << false;
        QTest::newRow("OK closes") << Action::ClickOk << int(QDialog::Accepted) << false;
        QTest::newRow("close box closes") << Action::CloseBox << int(QDialog::Rejected) << false;
        QTest::newRow("Enter on OK closes") << Action::EnterOnOk << int(QDialog::Accepted) << false;
        QTest::newRow("Enter on Více o programu opens help") << Action::EnterOnMore << kStillOpen << true;
        QTest::newRow("Více o programu opens help") << Action::ClickMore << kStillOpen << true;
    }

    void closingAndHelp()
    {
        QFETCH(Action, action);
        QFETCH(int, result);
        QFETCH(bool, helpOpened);

        TAboutBox box;
        QWidget* ok = Child(box, "OKButton");
        QWidget* more = Child(box, "Button1");
        dialogs::Script script;

        const int closedWith = ExecWith(box, [&] {
            QVERIFY(QTest::qWaitForWindowActive(&box));
            QCOMPARE(QApplication::focusWidget(), ok);
            switch (action) {
            case Action::Escape: QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); break;
            case Action::ClickOk: QTest::mouseClick(ok, Qt::LeftButton); break;
            case Action::CloseBox: box.close(); break;
            case Action::EnterOnOk: QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); break;
            case Action::EnterOnMore:
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QCOMPARE(QApplication::focusWidget(), more);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                break;
            case Action::ClickMore: QTest::mouseClick(more, Qt::LeftButton); break;
            }
        });
        QCOMPARE(closedWith, result);

        QCOMPARE(helpCalls.size(), helpOpened ? 1u : 0u);
        if (helpOpened) {
            QCOMPARE(helpCalls[0].caller, &box);
            QCOMPARE(helpCalls[0].fileName, QStringLiteral("Orvela.chm"));
            QCOMPARE(helpCalls[0].context, 103);
        }
        QVERIFY(script.shown.isEmpty());
        QVERIFY(openedUrls.isEmpty());
    }

    void links_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("opened");

        QTest::newRow("web page") << "Label2" << "https://orvela.example.org/" << "https://orvela.example.org/";
        QTest::newRow("mail") << "Label3" << "orvela@example.org" << "mailto:orvela@example.org?subject=Orvela";
    }

    void links()
    {
        QFETCH(QString, label);
        QFETCH(QString, shown);
        QFETCH(QString, opened);

        TAboutBox box;
        dialogs::Script script;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        auto* link = box.findChild<QLabel*>(label);
        QVERIFY(link);
        QCOMPARE(link->text(), shown);

        // Pressed on the link but released beside it: no click.
        QTest::mousePress(link, Qt::LeftButton, {}, link->rect().center());
        QTest::mouseRelease(link, Qt::LeftButton, {}, link->rect().bottomRight() + QPoint(5, 5));
        QVERIFY(openedUrls.isEmpty());

        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        QCOMPARE(openedUrls, QStringList{opened});
        QVERIFY(box.isVisible());
        QVERIFY(script.shown.isEmpty());
        QVERIFY(helpCalls.empty());
    }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("position");
        QTest::addColumn<QString>("text");

        QTest::newRow("ProductName") << "ProductName" << QPoint(126, 18) << "Orvela";
        QTest::newRow("Version") << "Version" << QPoint(126, 48) << "verze 1.1";
        QTest::newRow("author line") << "AuthorName" << QPoint(30, 81) << "Projekt Orvela";
        QTest::newRow("address line 1") << "AddressLine1" << QPoint(101, 100) << "Atlas rostlin pro každého";
        QTest::newRow("address line 2") << "AddressLine2" << QPoint(101, 120) << "Česká republika";
        QTest::newRow("web link") << "Label2" << QPoint(101, 140) << "https://orvela.example.org/";
        QTest::newRow("mail link") << "Label3" << QPoint(101, 160) << "orvela@example.org";
    }

    /// Each text is at its place, whole on one line inside the panel, and clear of the others.
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QPoint, position);
        QFETCH(QString, text);

        TAboutBox box;
        auto* label = box.findChild<QLabel*>(name);
        QVERIFY(label);
        QCOMPARE(label->pos(), position);
        QCOMPARE(label->text(), text);
        QVERIFY2(label->parentWidget()->contentsRect().contains(label->geometry()),
                 qPrintable(QStringLiteral("%1 leaves the panel").arg(name)));
        const QFontMetrics metrics(label->font());
        QVERIFY2(metrics.horizontalAdvance(text) <= label->width(), "text is cut or wrapped");
        QVERIFY2(label->height() < 2 * metrics.height(), "text took two lines");
        for (const QLabel* other : label->parentWidget()->findChildren<QLabel*>())
            if (other != label)
                QVERIFY2(!other->geometry().intersects(label->geometry()),
                         qPrintable(QStringLiteral("%1 overlaps %2").arg(name, other->objectName())));
    }

    void look()
    {
        TAboutBox box;
        QCOMPARE(box.windowTitle(), QStringLiteral("About"));
        QCOMPARE(box.size(), QSize(297, 245));
        QCOMPARE(box.minimumSize(), box.maximumSize());

        QVERIFY(!static_cast<QLabel*>(Child(box, "ProgramIcon"))->pixmap().isNull());

        for (const char* name : {"ProductName", "Version"}) {
            const QFont font = Child(box, name)->font();
            QCOMPARE(font.pixelSize(), 19);
            QVERIFY(font.bold());
        }
        QCOMPARE(box.font().pixelSize(), 15);
        for (const char* name : {"Label2", "Label3"}) {
            QWidget* link = Child(box, name);
            QVERIFY(link->font().underline());
            QCOMPARE(link->font().pixelSize(), 15);
            QCOMPARE(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
            QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        }
    }

    /// Created once and opened again and again: each opening looks the same, centred on the screen.
    void secondOpeningLooksTheSame()
    {
        TAboutBox box;
        QStringList seen[2];
        for (QStringList& snapshot : seen) {
            const int closedWith = ExecWith(box, [&] {
                QVERIFY(QTest::qWaitForWindowExposed(&box));
                snapshot = Snapshot(box);
                const QPoint screenCentre = box.screen()->availableGeometry().center();
                QVERIFY((box.frameGeometry().center() - screenCentre).manhattanLength() <= 2);
                // Leave the focus and the place changed, so that the next opening must set them again.
                Child(box, "Button1")->setFocus();
                box.move(0, 0);
                box.accept();
            });
            QCOMPARE(closedWith, int(QDialog::Accepted));
        }
        QVERIFY(!seen[0].isEmpty());
        QCOMPARE(seen[1], seen[0]);
        if (qEnvironmentVariableIsSet("ORVELA_SCREENSHOTS"))
            box.grab().save(qEnvironmentVariable("ORVELA_SCREENSHOTS") + "/about.png");
    }

    void icons()
    {
        QSet<QString> paths;
        const QString sheetDir = qEnvironmentVariable("ORVELA_SCREENSHOTS");
        QImage sheet(int(kAllIcons.size()) * 32 + 8, 40, QImage::Format_ARGB32);
        sheet.fill(QColor(0xef, 0xef, 0xef));
        QPainter painter(&sheet);
        int x = 8;
        for (IconId id : kAllIcons) {
            const QString path = IconPath(id);
            QVERIFY2(QFile::exists(path), qPrintable(path));
            paths.insert(path);

            QSvgRenderer renderer(path);
            QVERIFY2(renderer.isValid(), qPrintable(path));
            QCOMPARE(renderer.viewBox(), QRect(0, 0, 24, 24));

            const QIcon icon = Icon(id);
            for (int size : {16, 24})
                QCOMPARE(icon.pixmap(size, size).size(), QSize(size, size));
            painter.drawPixmap(x, 8, icon.pixmap(24, 24));
            x += 32;
        }
        painter.end();
        QCOMPARE(paths.size(), qsizetype(kAllIcons.size()));
        if (!sheetDir.isEmpty())
            sheet.save(sheetDir + "/icons.png");
    }

private:
    std::vector<HelpCall> helpCalls;
    QStringList openedUrls;
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
