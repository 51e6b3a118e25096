#include "browser/About.h"

#include "browser/ShowHelpContext.h"
#include "platform/dialogs/CentreOnScreen.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/dialogs/OpenUrl.h"
#include "ui_About.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

namespace orvela {

TAboutBox* AboutBox = nullptr;

namespace {

QFont ArialFont(int pixelSize, bool bold = false)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TAboutBox>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, true);
    setFixedSize(297, 245);
    SetFonts();
    FitLabelsToText();

    ui->Label2->installEventFilter(this);
    ui->Label3->installEventFilter(this);
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->Button1, &QPushButton::clicked, this, dialogs::Guarded([this] { Button1Click(); }));
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::Label2Click()
{
    // The label shows exactly the address it opens.
    dialogs::OpenUrl(QUrl(ui->Label2->text()));
}

void TAboutBox::Label3Click()
{
    dialogs::OpenUrl(QUrl(QStringLiteral("mailto:") + ui->Label3->text() + QStringLiteral("?subject=Orvela")));
}

void TAboutBox::Button1Click()
{
    ShowHelpContext(this, kAboutHelp);
}

void TAboutBox::SetFonts()
{
    setFont(ArialFont(15));
    ui->ProductName->setFont(ArialFont(19, true));
    ui->Version->setFont(ArialFont(19, true));

    for (QLabel* link : {ui->Label2, ui->Label3}) {
        QFont font = ArialFont(15);
        font.setUnderline(true);
        link->setFont(font);
        QPalette palette = link->palette();
        palette.setColor(QPalette::WindowText, Qt::blue);
        link->setPalette(palette);
    }
}

/// Labels take the size of their text, as a click on the empty space beside a link must not open it.
/// Word-wrapped labels wrap only where the panel ends.
void TAboutBox::FitLabelsToText()
{
    const int panelRight = ui->Panel1->contentsRect().right() + 1;
    for (QLabel* label : ui->Panel1->findChildren<QLabel*>()) {
        if (label == ui->ProgramIcon)
            continue;
        if (label->wordWrap()) {
            const QRect room(0, 0, panelRight - label->x(), QWIDGETSIZE_MAX);
            const int width = label->fontMetrics().boundingRect(room, Qt::TextWordWrap, label->text()).width();
            label->resize(width, label->heightForWidth(width));
        } else {
            label->resize(label->sizeHint());
        }
    }
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event)
{
    // A click counts when the button is pressed and released over the same link.
    if (watched == ui->Label2 || watched == ui->Label3) {
        if (event->type() == QEvent::MouseButtonPress) {
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                pressedLink = watched;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const bool clicked = pressedLink == watched && mouse->button() == Qt::LeftButton &&
                                 static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint());
            pressedLink = nullptr;
            if (clicked)
                dialogs::Guard([&] { watched == ui->Label2 ? Label2Click() : Label3Click(); });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TAboutBox::keyPressEvent(QKeyEvent* event)
{
    // OK is also the cancel button: Escape presses it, so the box closes with the OK result.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        ui->OKButton->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    ui->OKButton->setFocus();
    dialogs::CentreOnScreen(*this);
}

} // namespace orvela
