#pragma once

#include <QDialog>
#include <QString>
#include <memory>

class QLabel;
class QPushButton;

namespace Ui {
class TForm2;
}

namespace orvela {

namespace shell {
class FolderTree;
}

/// Folder of the running program: the source of the installation, and the current directory once
/// the install dialog closes. Set each time an install dialog is created.
extern QString ProgramDir;

/// The target shown under the tree: the folder followed by "/Orvela", cut to at most 63 characters
/// when longer than 60 by keeping its first 3 characters and its tail from a separator on.
/// Empty for an empty path (nothing selected).
QString TargetDisplay(const QString& path);

/// The folder the installation creates inside the chosen one.
QString InstallFolder(const QString& chosenPath);

/// Writes a desktop launcher `linkFile` that starts `target` with `arguments` in the target's folder
/// and shows the picture `icon`. Throws FileError when it cannot be written.
void CreateDesktopShortcut(const QString& target, const QString& arguments, const QString& linkFile,
                           const QString& description, const QString& icon);

/// The install dialog: pick a folder, then copy the program there and put a launcher on the desktop.
/// Shown modally; it deletes itself when closed.
class TForm2 final : public QDialog {
    Q_OBJECT

public:
    explicit TForm2(QWidget* owner);
    ~TForm2() override;

    shell::FolderTree* Tree;
    QWidget* Panel1;
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* Button1;
    QPushButton* Button2;
    QLabel* Label5;

    void TreeChange();
    void Button2Click();
    void Button1Click();
    void FormCreate();
    void FormClose();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TForm2> ui_;
};

} // namespace orvela
