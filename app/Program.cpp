#include "app/Program.h"

#include "browser/About.h"
#include "browser/Hledej.h"
#include "browser/Unit1.h"
#include "platform/dialogs/Dialogs.h"

#include <QApplication>

namespace orvela {

namespace {

template <class Form>
void CreateForm(Form*& reference, QWidget* parent)
{
    reference = new Form(parent);
    if constexpr (requires { reference->FormCreate(); })
        dialogs::Guard([reference] { reference->FormCreate(); });
}

template <class Form>
void DestroyForm(Form*& reference)
{
    delete reference;
    reference = nullptr;
}

} // namespace

void CreateForms()
{
    CreateForm(Form1, nullptr);
    // The dialogs belong to the main window so that they stay above it and centre on it.
    CreateForm(FrmHledej, Form1);
    CreateForm(AboutBox, Form1);
}

void DestroyForms()
{
    // The dialogs are the main window's children; take them down first so no reference dangles.
    DestroyForm(AboutBox);
    DestroyForm(FrmHledej);
    DestroyForm(Form1);
}

int RunProgram(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(dialogs::kApplicationTitle));
    dialogs::LoadCzechQtTexts();
    CreateForms();
    Form1->show();
    const int result = QApplication::exec();
    DestroyForms();
    return result;
}

} // namespace orvela
