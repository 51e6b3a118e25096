#include "Dialogs.h"

#include "platform/errors/Errors.h"

#include <QApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTranslator>

namespace orvela::dialogs {

namespace {
Script* current = nullptr;

bool Record(Script::Shown::Kind kind, const QString& text, QWidget* dialog = nullptr)
{
    if (!current)
        return false;
    current->shown.append({kind, text, dialog});
    if (current->whileShown)
        current->whileShown(current->shown.last());
    current->shown.last().dialog = nullptr;
    return true;
}

QWidget* ActiveWindowOrNull()
{
    return QApplication::activeWindow();
}

/// The print dialog for a print that always covers the whole document.
class WholeDocumentPrintDialog final : public QPrintDialog {
public:
    WholeDocumentPrintDialog(QPrinter* printer, QWidget* parent) : QPrintDialog(printer, parent)
    {
        setOptions(QAbstractPrintDialog::PrintShowPageSize | QAbstractPrintDialog::PrintCollateCopies);
    }

    void setVisible(bool visible) override
    {
        QPrintDialog::setVisible(visible);
        // Qt shows its page range group anyway when the print server can pick pages itself.
        if (auto* range = findChild<QWidget*>(QStringLiteral("gbPrintRange")); visible && range)
            range->hide();
    }
};
} // namespace

Script::Script() { current = this; }
Script::~Script()
{
    if (current == this)
        current = nullptr;
}
Script* Script::Current() { return current; }

QStringList Script::Texts() const
{
    QStringList texts;
    for (const auto& s : shown)
        texts << s.text;
    return texts;
}

bool LoadCzechQtTexts()
{
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qt_cs"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

QString ErrorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

void ShowMessage(const QString& text)
{
    if (Record(Script::Shown::Kind::Message, text))
        return;
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok,
                    ActiveWindowOrNull());
    box.exec();
}

void ShowError(const QString& message)
{
    const QString text = ErrorBoxText(message);
    if (Record(Script::Shown::Kind::Error, text))
        return;
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok,
                    ActiveWindowOrNull());
    box.exec();
}

void Guard(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const Error& e) {
        ShowError(e.Message());
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
    }
}

MessageButton Confirm(const QString& text)
{
    if (Record(Script::Shown::Kind::Confirm, text))
        return current->confirmAnswers.isEmpty() ? MessageButton::Yes : current->confirmAnswers.takeFirst();
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::Yes | QMessageBox::No,
                    ActiveWindowOrNull());
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    // Only Yes goes on: a box closed from its title bar answers No.
    return box.exec() == QMessageBox::Yes ? MessageButton::Yes : MessageButton::No;
}

bool SaveDialog::Execute(QWidget* parent)
{
    std::optional<QString> chosen;
    if (Record(Script::Shown::Kind::SaveFile, FileName)) {
        if (!current->saveAnswers.isEmpty())
            chosen = current->saveAnswers.takeFirst();
    } else {
        QFileDialog dialog(parent, QString(), QString(), Filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (!DefaultExt.isEmpty())
            dialog.setDefaultSuffix(DefaultExt);
        if (!FileName.isEmpty())
            dialog.selectFile(FileName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
    if (!chosen)
        return false;
    FileName = *chosen;
    return true;
}

PrintDialog::PrintDialog() = default;
PrintDialog::~PrintDialog() = default;

QPrinter& PrintDialog::Printer()
{
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

bool PrintDialog::Execute(QWidget* parent)
{
    const bool available = current ? current->printerAvailable : !QPrinterInfo::defaultPrinter().isNull();
    if (!available)
        throw Error(QStringLiteral("There is no default printer currently selected"));
    WholeDocumentPrintDialog dialog(&Printer(), parent);
    if (Record(Script::Shown::Kind::Print, QString(), &dialog)) {
        if (current->printAnswers.isEmpty() || !current->printAnswers.takeFirst())
            return false;
        if (!current->printToFile.isEmpty()) {
            Printer().setOutputFormat(QPrinter::PdfFormat);
            Printer().setOutputFileName(current->printToFile);
        }
        return true;
    }
    return dialog.exec() == QDialog::Accepted;
}

} // namespace orvela::dialogs
