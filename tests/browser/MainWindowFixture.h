#pragma once

#include "CatalogueFixture.h"

#include "app/Program.h"
#include "browser/Unit1.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/help/Help.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <memory>

namespace orvela::test {

/// Starts the program's forms on a catalogue in a temporary folder, with scripted boxes and help.
class ProgramRun final {
public:
    /// write: fills the folder before the forms are created.
    template <class Write>
    explicit ProgramRun(Write write)
    {
        help::SetHandler([this](QWidget*, const QString& file, int context) { helpCalls.append({file, context}); });
        write(folder);
        CreateForms();
        Form1->show();
        QApplication::setActiveWindow(Form1);
        if (!QTest::qWaitForWindowActive(Form1))
            qWarning("the main window did not become active");
    }
    ProgramRun() : ProgramRun([](CatalogueFolder& folder) {
        WriteFamilies(folder.Path(), SampleFamilies());
        WriteSpecies(folder.Path(), SampleSpecies());
    }) {}
    ~ProgramRun()
    {
        DestroyForms();
        help::SetHandler({});
    }

    TForm1& Window() const { return *Form1; }
    QString Current(const char* field = "CZ") const
    {
        return Form1->DataOrvela->FieldByName(QLatin1String(field)).AsString();
    }

    CatalogueFolder folder;
    dialogs::Script script;
    QList<QPair<QString, int>> helpCalls;
};

/// Types text as the keyboard would, letters with diacritics included.
inline void TypeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        const int key = c.unicode() < 0x80 ? QKeySequence(QString(c).toUpper())[0].key() : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key(key), QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key(key), QString(c), Qt::NoModifier);
    }
}

/// Runs `act` once the next modal dialog is up, so a test can answer a dialog that exec() waits on.
inline void WhenModal(std::function<void(QWidget*)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            WhenModal(act);
            return;
        }
        act(modal);
    });
}

} // namespace orvela::test
