#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QWidget;
class QPrinter;

namespace orvela::dialogs {

/// The caption of every message box: the application title.
inline constexpr const char* kApplicationTitle = "Orvela";

/// Loads Qt's own Czech texts, so that its standard dialogs and the standard buttons of its boxes
/// speak Czech like the rest of the program. False when the translation is not installed.
bool LoadCzechQtTexts();

/// The text of the error box: a full stop is added when the last character's code lies above '.'.
QString ErrorBoxText(const QString& message);

/// Plain message box: title "Orvela", the text, one OK button, no icon.
void ShowMessage(const QString& text);

/// Error box: ErrorBoxText(message), caption "Orvela", error icon, one OK button.
void ShowError(const QString& message);

/// Runs a handler; an escaping error is shown in the error box and the program goes on.
void Guard(const std::function<void()>& handler);

/// Wraps a handler for connect(): every signal-driven handler runs through Guard.
template <class Handler>
auto Guarded(Handler handler)
{
    return [handler] { Guard(handler); };
}

enum class MessageButton { Yes, No, Ok, Cancel };

/// Confirmation box "Confirm" with Yes (the default) and No; a box closed from its title bar is No.
MessageButton Confirm(const QString& text);

/// The save dialog: one file type, no overwrite question; it proposes the path chosen last.
class SaveDialog final {
public:
    QString Filter;     // e.g. "RTF formát (*.rtf)"
    QString DefaultExt; // added to a name typed without one
    QString FileName;   // the path chosen last

    /// True when the user confirmed a name (then in FileName); false when cancelled.
    bool Execute(QWidget* parent);
};

/// The print dialog; the printer it configures serves the following print and is proposed next time.
class PrintDialog final {
public:
    PrintDialog();
    ~PrintDialog();

    /// Error "There is no default printer currently selected" when the system has no printer;
    /// otherwise true when the user confirmed.
    bool Execute(QWidget* parent);
    QPrinter& Printer();

private:
    std::unique_ptr<QPrinter> printer_;
};

/// Test seam: every box and dialog goes through a script when one is installed.
/// The script records what would have been shown and answers in its place.
class Script {
public:
    struct Shown {
        enum class Kind { Message, Error, Confirm, SaveFile, Print } kind;
        QString text;
        QWidget* dialog = nullptr; // the print dialog as built, not shown, while it is "up"
    };

    Script();   // installs itself
    ~Script();  // uninstalls
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;

    QList<Shown> shown;
    /// Answers, taken in order; when a list runs out the defaults below apply.
    QList<MessageButton> confirmAnswers;          // default Yes
    QList<std::optional<QString>> saveAnswers;    // default cancel
    QList<bool> printAnswers;                     // default false
    bool printerAvailable = true;                 // false: the system has no printer
    QString printToFile;                          // confirmed prints go to this PDF file
    /// Called while a box is "up" (after it was recorded, before it returns).
    std::function<void(const Shown&)> whileShown;

    QStringList Texts() const;
    static Script* Current();
};

} // namespace orvela::dialogs
