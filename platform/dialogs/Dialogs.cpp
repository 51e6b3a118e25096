#include "Dialogs.h"

#include "Errors.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace orvela::dialogs {

namespace {
Script* current = nullptr;

bool Record(Script::Shown::Kind kind, const QString& text)
{
    if (!current)
        return false;
    current->shown.append({kind, text});
    if (current->whileShown)
        current->whileShown(current->shown.last());
    return true;
}

QWidget* ActiveWindowOrNull()
{
    return QApplication::activeWindow();
}
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
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kApplicationTitle), text,
                    QMessageBox::Yes | QMessageBox::No, ActiveWindowOrNull());
    return box.exec() == QMessageBox::Yes ? MessageButton::Yes : MessageButton::No;
}

std::optional<QString> GetSaveFileName(QWidget* parent, const SaveFileRequest& request)
{
    if (Record(Script::Shown::Kind::SaveFile, request.proposedPath))
        return current->saveAnswers.isEmpty() ? std::nullopt : current->saveAnswers.takeFirst();
    QFileDialog dialog(parent, request.title, request.proposedPath, request.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.confirmOverwrite)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!request.proposedPath.isEmpty())
        dialog.selectFile(request.proposedPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

bool ExecPrintDialog(QWidget* parent, QPrinter& printer)
{
    if (Record(Script::Shown::Kind::Print, printer.docName()))
        return current->printAnswers.isEmpty() ? false : current->printAnswers.takeFirst();
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace orvela::dialogs
