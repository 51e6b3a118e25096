#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TAboutBox;
}

namespace orvela {

/// The about box: program name and version, the project's contact lines, a web and a mail link, and help.
/// Created once at start and shown modally again and again; it keeps no state between openings.
class TAboutBox final : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);
    ~TAboutBox() override;

    void Label2Click();
    void Label3Click();
    void Button1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void SetFonts();
    void FitLabelsToText();

    std::unique_ptr<Ui::TAboutBox> ui;
    QObject* pressedLink = nullptr;
};

/// The about box, created at start after the criteria search dialog.
extern TAboutBox* AboutBox;

} // namespace orvela
