#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;
class QPrinter;

namespace orvela::dialogs {

/// The caption of every message box: the application title.
inline constexpr const char* kApplicationTitle = "Orvela";

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
    return [handler](auto&&...) { Guard(handler); };
}

enum class MessageButton { Yes, No, Ok, Cancel };

/// Confirmation box with Yes and No (the installer's question); returns the button pressed.
MessageButton Confirm(const QString& text);

struct SaveFileRequest {
    QString title;
    QString filter;       // e.g. "RTF formát (*.rtf)"
    QString defaultSuffix;
    QString proposedPath; // file name or path the dialog proposes
    bool confirmOverwrite = false;
};

/// Save dialog; returns the chosen path, or nothing when cancelled.
std::optional<QString> GetSaveFileName(QWidget* parent, const SaveFileRequest& request);

/// Print dialog for the printer; false when cancelled.
bool ExecPrintDialog(QWidget* parent, QPrinter& printer);

/// Test seam: every box and dialog goes through a script when one is installed.
/// The script records what would have been shown and answers in its place.
class Script {
public:
    struct Shown {
        enum class Kind { Message, Error, Confirm, SaveFile, Print } kind;
        QString text;
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
    /// Called while a box is "up" (after it was recorded, before it returns).
    std::function<void(const Shown&)> whileShown;

    QStringList Texts() const;
    static Script* Current();
};

} // namespace orvela::dialogs
