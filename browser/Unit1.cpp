#include "browser/Unit1.h"

#include "browser/About.h"
#include "browser/Hledej.h"
#include "browser/Icons.h"
#include "browser/ShowHelpContext.h"
#include "browser/catalogue.h"
#include "installer/Instal.h"
#include "platform/controls/ButtonLook.h"
#include "platform/controls/Look.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/errors/Errors.h"
#include "platform/jpeg/JpegImage.h"
#include "platform/richtext/PrintDocument.h"
#include "platform/shell/Drive.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QPrinter>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStackedWidget>

namespace orvela {

TForm1* Form1 = nullptr;
QString StartDir;

namespace {

constexpr int kSummaryPage = 0;
constexpr int kPhotoPage = 1;
constexpr int kArticlePage = 2;

void SetFont(QWidget* widget, int pixels, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    widget->setFont(font);
}

void SetBackground(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    palette.setColor(QPalette::Base, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

/// Lets the window's menu keys come before a focused control's own use of them (Ctrl+A in a text field).
class MenuKeysFirst final : public QObject {
public:
    MenuKeysFirst(TForm1* window, QMenu* menu) : QObject(window), window_(window), menu_(menu) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::ShortcutOverride)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != window_)
            return false;
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QAction* action : menu_->actions()) {
            if (action->shortcut() == pressed) {
                event->ignore();
                return true;
            }
        }
        return false;
    }

private:
    TForm1* window_;
    QMenu* menu_;
};

} // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent), DataOrvela(CreateSpeciesDataSet()), DataFam(CreateFamilyDataSet()),
      DataSource1(DataOrvela.get()), DataSource2(DataFam.get())
{
    // Set before the controls exist, they take it as they are made instead of each being told again.
    SetFont(this, 15, false);
    setupUi(this);
    SaveDialog1.Filter = QStringLiteral("RTF formát (*.rtf)");
    SaveDialog1.DefaultExt = QStringLiteral("rtf");
    SetUpLook();
    SetUpHiddenMenu();
    BindControls();
    WireEvents();
    setWindowState(Qt::WindowMaximized);
}

TForm1::~TForm1()
{
    // The catalogue's write-back: a failure is shown, and the program ends all the same.
    dialogs::Guard([this] { DataOrvela->Close(); });
    if (Form1 == this)
        Form1 = nullptr;
}

// ---------------------------------------------------------------------------------------------------------
// Layout details that the form file cannot hold: pixel fonts, colours, icons.

void TForm1::SetUpLook()
{
    SetBackground(centralwidget, colors::SkyBlue);
    SetBackground(CoolBar1, colors::ButtonFace());
    SetFont(ToolBar1, 12, false);
    for (QToolButton* button : ToolBar1->findChildren<QToolButton*>())
        button->setIconSize(QSize(16, 16));

    SetBackground(Label2, colors::Cream);
    SetFont(Label2, 15, true);
    SetBackground(Edit3, colors::Cream);
    DBGrid1->SetColor(colors::Cream);
    // A style sheet would override the palettes of every control below the splitter; paint the handle.
    SetBackground(Splitter1->handle(1), colors::Navy);
    Splitter1->setSizes({185, 615});
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);

    SetBackground(Panel3, colors::Silver);
    SetBackground(Label1, colors::Cream);
    SetFont(Label1, 16, true);
    QPalette header = Label1->palette();
    header.setColor(QPalette::WindowText, colors::Navy);
    Label1->setPalette(header);

    SetFont(PageControl1, 15, true);
    DrawTabsAsFlatButtons(*PageControl1);
    SetFont(GroupBox1, 15, false);
    SetBackground(Edit2, colors::PaleGreen);
    DBMemo1->SetColor(colors::PaleGreen);

    for (QWidget* toolBar : {ToolBar3, ToolBar2}) {
        SetBackground(toolBar, colors::SkyBlue);
        SetFont(toolBar, 15, true);
    }
    for (QToolButton* button :
         std::initializer_list<QToolButton*>{SpeedButton1, SpeedButton2, ToolButton6, ToolButton14})
        DrawDownAsSunken(*button);
    DBRichEdit1->SetColor(colors::PaleGreen);

    BandIcon1->setPixmap(Icon(IconId::BandSearch).pixmap(20, 20));
    BandIcon2->setPixmap(Icon(IconId::BandGroup).pixmap(20, 20));
    ToolButton1->setIcon(Icon(IconId::CzechLatin));
    ToolButton7->setIcon(Icon(IconId::SearchPlant));
    ToolButton8->setIcon(Icon(IconId::AllPlants));
    ToolButton10->setIcon(Icon(IconId::Help));
    ToolButton9->setIcon(Icon(IconId::About));
    ToolButton11->setIcon(Icon(IconId::Install));
    ToolButton12->setIcon(Icon(IconId::Exit));
    PageControl1->setTabIcon(kSummaryPage, Icon(IconId::PageSummary));
    PageControl1->setTabIcon(kPhotoPage, Icon(IconId::PagePhoto));
    PageControl1->setTabIcon(kArticlePage, Icon(IconId::PageArticle));
    ToolButton4->setIcon(Icon(IconId::Previous));
    ToolButton6->setIcon(Icon(IconId::Counter));
    ToolButton5->setIcon(Icon(IconId::Next));
    ToolButton14->setIcon(Icon(IconId::OneToOne));
    ToolButton2->setIcon(Icon(IconId::Print));
    ToolButton3->setIcon(Icon(IconId::Save));
}

void TForm1::SetUpHiddenMenu()
{
    // The menu is never shown; its items carry the window's shortcut keys.
    Menu = new QMenu(QStringLiteral("Cesky"), this);
    const auto item = [this](const char* name, const QString& caption, const QKeySequence& key) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        Menu->addAction(action);
        addAction(action);
        return action;
    };
    Hledej1 = item("Hledej1", QStringLiteral("Hledej"), QKeySequence(Qt::CTRL | Qt::Key_H));
    All1 = item("All1", QStringLiteral("All"), QKeySequence(Qt::CTRL | Qt::Key_A));
    Instal1 = item("Instal1", QStringLiteral("Instal"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    Info1 = item("Info1", QStringLiteral("Info"), QKeySequence(Qt::CTRL | Qt::Key_I));
    Cesky = item("Cesky", QStringLiteral("Cesky"), QKeySequence(Qt::CTRL | Qt::Key_L));
    isk1 = item("isk1", QStringLiteral("Tisk"), QKeySequence(Qt::CTRL | Qt::Key_P));
    Uloit1 = item("Uloit1", QStringLiteral("Uložit"), QKeySequence(Qt::CTRL | Qt::Key_S));
    Help1 = item("Help1", QStringLiteral("Help"), QKeySequence(Qt::Key_F1));
    ID1 = item("ID1", QStringLiteral("ID"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_I));
    qApp->installEventFilter(new MenuKeysFirst(this, Menu));
}

void TForm1::BindControls()
{
    DBGrid1->SetDataSource(&DataSource1);
    DBGrid1->Columns(0).SetFieldName(QString::fromLatin1(PlantRecord::CZ));
    DBGrid1->Columns(0).SetTitle(QStringLiteral("Česky"));
    DBGrid1->Columns(1).SetFieldName(QString::fromLatin1(PlantRecord::LAT));
    DBGrid1->Columns(1).SetTitle(QStringLiteral("Latinsky"));
    DBGrid1->Columns(0).SetWidth(300);
    DBGrid1->Columns(1).SetWidth(300);

    for (DBCheckBox* box : TraitArea->findChildren<DBCheckBox*>()) {
        box->SetDataField(box->property("dataField").toString());
        box->SetDataSource(&DataSource1);
    }
    DBText1->SetDataField(QString::fromLatin1(PlantRecord::ID));
    DBText1->SetDataSource(&DataSource1);
    DBRichEdit1->SetDataField(QString::fromLatin1(PlantRecord::NOTE));
    DBRichEdit1->SetDataSource(&DataSource1);
    DBMemo1->SetDataField(QString::fromLatin1(FamilyRecord::Note));
    DBMemo1->SetDataSource(&DataSource2);
}

void TForm1::WireEvents()
{
    using dialogs::Guarded;
    DataOrvela->AfterOpen = [this] { DataOrvelaAfterOpen(); };
    DataOrvela->AfterScroll = [this] { DataOrvelaAfterScroll(); };

    connect(ToolButton1, &QToolButton::clicked, this, Guarded([this] { ToolButton1Click(); }));
    connect(ToolButton7, &QToolButton::clicked, this, Guarded([this] { ToolButton7Click(); }));
    connect(ToolButton8, &QToolButton::clicked, this, Guarded([this] { ToolButton8Click(); }));
    connect(ToolButton10, &QToolButton::clicked, this, Guarded([this] { ToolButton10Click(); }));
    connect(ToolButton9, &QToolButton::clicked, this, Guarded([this] { ToolButton9Click(); }));
    connect(ToolButton11, &QToolButton::clicked, this, Guarded([this] { ToolButton11Click(); }));
    connect(ToolButton12, &QToolButton::clicked, this, Guarded([this] { ToolButton12Click(); }));

    connect(Hledej1, &QAction::triggered, this, Guarded([this] { Hledej1Click(); }));
    connect(All1, &QAction::triggered, this, Guarded([this] { All1Click(); }));
    connect(Instal1, &QAction::triggered, this, Guarded([this] { Instal1Click(); }));
    connect(Info1, &QAction::triggered, this, Guarded([this] { Info1Click(); }));
    connect(Cesky, &QAction::triggered, this, Guarded([this] { CeskyClick(); }));
    connect(isk1, &QAction::triggered, this, Guarded([this] { isk1Click(); }));
    connect(Uloit1, &QAction::triggered, this, Guarded([this] { Uloit1Click(); }));
    connect(Help1, &QAction::triggered, this, Guarded([this] { Help1Click(); }));
    connect(ID1, &QAction::triggered, this, Guarded([this] { ID1Click(); }));

    connect(Edit3, &QLineEdit::textChanged, this, Guarded([this] { Edit3Change(); }));
    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);
    connect(ComboBox1, qOverload<int>(&QComboBox::activated), this,
            [this](int index) { dialogs::Guard([this, index] { ComboBox1Change(index); }); });
    for (DBCheckBox* box : TraitArea->findChildren<DBCheckBox*>())
        box->OnClick = [this](DBCheckBox* sender) { DBCheckBox1Click(sender); };
    SpeedButton1->OnClick = Guarded([this] { SpeedButton1Click(); });
    SpeedButton2->OnClick = Guarded([this] { SpeedButton2Click(); });

    connect(ToolButton4, &QToolButton::clicked, this, Guarded([this] { ToolButton4Click(); }));
    connect(ToolButton5, &QToolButton::clicked, this, Guarded([this] { ToolButton5Click(); }));
    connect(ToolButton6, &QToolButton::clicked, this, Guarded([this] { ToolButton6Click(); }));
    connect(ToolButton14, &QToolButton::clicked, this, Guarded([this] { ToolButton14Click(); }));
    connect(Panel7->ScrollBar1, &QScrollBar::valueChanged, this,
            [this](int position) { dialogs::Guard([this, position] { ScrollBar1Scroll(position); }); });
    connect(Panel7->ScrollBar2, &QScrollBar::valueChanged, this,
            [this](int position) { dialogs::Guard([this, position] { ScrollBar2Scroll(position); }); });
    // The pages take the page control's new size in its own handling of its resize, after any filter on it
    // has run; the resize of the pages' area comes when they have it.
    PageControl1->findChild<QStackedWidget*>(QString(), Qt::FindDirectChildrenOnly)->installEventFilter(this);
    TabSheet1->installEventFilter(this);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
        if (!selectingPageFromCode_)
            dialogs::Guard([this] { PageControl1Change(); });
    });

    connect(ToolButton2, &QToolButton::clicked, this, Guarded([this] { ToolButton2Click(); }));
    connect(ToolButton3, &QToolButton::clicked, this, Guarded([this] { ToolButton3Click(); }));
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyRelease:
        if (watched == Edit1) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat())
                dialogs::Guard([this, key] { Edit1KeyUp(key->key()); });
        }
        break;
    case QEvent::Show:
        if (watched == Edit2)
            ShowFamilyLine();
        break;
    case QEvent::Resize:
        if (watched->parent() == PageControl1)
            dialogs::Guard([this] { PageControl1Resize(); });
        else if (watched == TabSheet1)
            AlignFamilyPanel();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------------------
// Start-up and the count label.

void TForm1::FormCreate()
{
    DataFam->LoadFromFile(QString::fromLatin1(kFamilyFileName));
    DataOrvela->LoadFromFile(QString::fromLatin1(kSpeciesFileName));
    ToolButton11->setVisible(shell::CurrentDriveType() == shell::DriveType::CdRom);
}

void TForm1::DataOrvelaAfterOpen()
{
    UpdatePlantCount();
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown_) {
        shown_ = true;
        dialogs::Guard([this] { FormShow(); });
    }
}

void TForm1::FormShow()
{
    PageControl1Resize();
    selectingPageFromCode_ = true;
    PageControl1->setCurrentIndex(kPhotoPage);
    PageControl1->setCurrentIndex(kSummaryPage);
    selectingPageFromCode_ = false;
    CzechFirst = true;
    FormResize();
    Edit3->setFocus();
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    dialogs::Guard([this] { FormResize(); });
}

void TForm1::FormResize()
{
    // Every page has the height of the page shown; the family group box fills Panel5.
    const int pageHeight = PageControl1->currentWidget()->height();
    const int panelHeight = std::max(0, pageHeight - 280);
    Panel5->resize(Panel5->width(), panelHeight);
    DBMemo1->resize(DBMemo1->width(), std::max(0, panelHeight - 60));
    AlignFamilyPanel();
}

void TForm1::AlignFamilyPanel()
{
    // Placed by hand rather than by layouts, so that the heights hold exactly and never become a minimum
    // height of the window. The trait area ends where Panel5 begins: lying over it, even transparent, it
    // would take the family box's mouse events.
    const int width = TabSheet1->width();
    const int panelTop = TabSheet1->height() - Panel5->height();
    TraitArea->setGeometry(0, 0, width, panelTop);
    Panel5->setGeometry(0, panelTop, width, Panel5->height());
    GroupBox1->setGeometry(Panel5->rect());
    DBMemo1->setGeometry(0, GroupBox1->height() - DBMemo1->height(), width, DBMemo1->height());
}

void UpdatePlantCount()
{
    Form1->Label2->setText(QStringLiteral("Počet rostlin: ") + QString::number(Form1->DataOrvela->RecordCount()));
}

// ---------------------------------------------------------------------------------------------------------
// Species view.

void TForm1::DataOrvelaAfterScroll()
{
    const QString family = QString::number(DataOrvela->FieldByName(QString::fromLatin1(PlantRecord::Family)).AsInteger());
    DataFam->Locate(QString::fromLatin1(FamilyRecord::ID), family);
    SetFamilyLine(DataFam->FieldByName(QString::fromLatin1(FamilyRecord::cz)).AsString() + QStringLiteral(" - ") +
                  DataFam->FieldByName(QString::fromLatin1(FamilyRecord::latin)).AsString());
    Label1->setText(DataOrvela->FieldByName(QString::fromLatin1(PlantRecord::CZ)).AsString() + QStringLiteral(" - ") +
                    DataOrvela->FieldByName(QString::fromLatin1(PlantRecord::LAT)).AsString());
    RebuildPhotoList();
}

void TForm1::SetFamilyLine(const QString& line)
{
    // Laying out an edit's text costs more than the rest of a selection change; while the line cannot
    // be seen (the text search hides the pages, another page may be in front) it waits to be shown.
    pendingFamilyLine_ = line;
    if (Edit2->isVisible())
        ShowFamilyLine();
}

void TForm1::ShowFamilyLine()
{
    if (pendingFamilyLine_ && *pendingFamilyLine_ != Edit2->text())
        Edit2->setText(*pendingFamilyLine_);
    pendingFamilyLine_.reset();
}

void TForm1::ToolButton1Click()
{
    const QString id = CurrentId(*DataOrvela);
    const bool czech = !CzechFirst;
    DBGrid1->Columns(0).SetFieldName(QString::fromLatin1(czech ? kCzechIndex : kLatinIndex));
    DBGrid1->Columns(0).SetTitle(czech ? QStringLiteral("Česky") : QStringLiteral("Latinsky"));
    DBGrid1->Columns(1).SetFieldName(QString::fromLatin1(czech ? kLatinIndex : kCzechIndex));
    DBGrid1->Columns(1).SetTitle(czech ? QStringLiteral("Latinsky") : QStringLiteral("Česky"));
    DataOrvela->SetIndexFieldNames(QString::fromLatin1(czech ? kCzechIndex : kLatinIndex));
    CzechFirst = czech;
    ReturnTo(*DataOrvela, id);
}

void TForm1::Edit3Change()
{
    const QString field = QString::fromLatin1(CzechFirst ? kCzechIndex : kLatinIndex);
    DataOrvela->Locate(field, Edit3->text(),
                       ClientDataSet::LocateOption::CaseInsensitive | ClientDataSet::LocateOption::PartialKey);
}

void TForm1::DBCheckBox1Click(QWidget* sender)
{
    auto* box = static_cast<DBCheckBox*>(sender);
    const bool checked = box->Checked();
    box->SetColor(checked ? colors::Yellow : colors::ButtonFace());
    box->setEnabled(checked);
}

void TForm1::ID1Click()
{
    DBText1->setVisible(DBText1->isHidden());
}

// ---------------------------------------------------------------------------------------------------------
// List filters and the article text search.

void TForm1::ComboBox1Change(int index)
{
    if (index < 0)
        return; // typed text that names no group builds no filter
    if (index == 0) {
        SpeedButton2Click();
        return;
    }
    const QString id = CurrentId(*DataOrvela);
    ApplyFilter(*DataOrvela, FilterText::Group(index));
    UpdatePlantCount();
    ReturnTo(*DataOrvela, id);
    if (DataOrvela->RecordCount() == 0) {
        dialogs::ShowMessage(QStringLiteral("Žádná rostlina z této skupiny nebyla nalezena."));
        DataOrvela->SetFiltered(false);
        ComboBox1->setCurrentIndex(0);
        UpdatePlantCount();
    }
}

void TForm1::SpeedButton1Click()
{
    const QString id = CurrentId(*DataOrvela);
    const Field familyField = DataOrvela->FieldByName(QString::fromLatin1(PlantRecord::Family));
    if (familyField.IsNull())
        return; // no species, or one without a family: there is nothing to narrow to
    const QString family = familyField.AsString();
    ApplyFilter(*DataOrvela, FilterText::Family(family));
    UpdatePlantCount();
    ReturnTo(*DataOrvela, id);
}

void TForm1::SpeedButton2Click()
{
    const QString id = CurrentId(*DataOrvela);
    DataOrvela->SetFiltered(false);
    UpdatePlantCount();
    ReturnTo(*DataOrvela, id);
    ComboBox1->setCurrentIndex(0);
}

void TForm1::ToolButton8Click()
{
    SpeedButton2Click();
}

void TForm1::All1Click()
{
    ToolButton8Click();
}

void TForm1::Edit1KeyUp(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        SearchArticleText();
}

namespace {

/// What the selection change of every species passed would have left behind, for a scan that defers it
/// to the species it ends on: the family of the last species whose family is known (one with an unknown
/// family keeps showing the previous), and the trait look on each box that still has its look from start
/// but whose state some species would have changed.
class PassedSpecies {
public:
    explicit PassedSpecies(TForm1& form) : form_(form)
    {
        for (DBCheckBox* box : form.TraitArea->findChildren<DBCheckBox*>()) {
            if (box->isEnabled() && box->checkState() == Qt::Unchecked)
                unchanged_.push_back({box, form.DataOrvela->FieldByName(box->DataField())});
        }
    }

    /// The current species is passed.
    void Pass()
    {
        std::erase_if(unchanged_, [this](const auto& entry) {
            if (!entry.second.IsNull() && !entry.second.AsBoolean())
                return false;
            form_.DBCheckBox1Click(entry.first);
            return true;
        });
    }

    /// The last species has been passed; every species is visible.
    void Finish()
    {
        const ClientDataSet& species = *form_.DataOrvela;
        const int family = species.FieldByName(QString::fromLatin1(PlantRecord::Family)).Index();
        for (int row = species.RecordCount() - 1; row >= 0; --row) {
            const QString number = QString::number(species.DisplayText(row, family).toLongLong());
            if (form_.DataFam->Locate(QString::fromLatin1(FamilyRecord::ID), number))
                break;
        }
    }

private:
    TForm1& form_;
    std::vector<std::pair<DBCheckBox*, Field>> unchanged_;
};

} // namespace

void SearchArticleText()
{
    TForm1& form = *Form1;
    if (form.Edit1->text().isEmpty())
        return;
    const QString text = form.Edit1->text().toLower();
    ClientDataSet& dataSet = *form.DataOrvela;
    form.DBGrid1->setFocus();
    form.PageControl1->hide();
    dataSet.SetReadOnly(false);
    // A failed step must not leave the catalogue writable and the pages hidden.
    auto restore = qScopeGuard([&] {
        dataSet.SetReadOnly(true);
        form.PageControl1->show();
    });
    const QString id = CurrentId(dataSet);
    {
        // Nothing of the species passed can be seen: the pages are hidden and nothing repaints until the
        // scan ends. The bound controls and the selection change wait for the species the search ends on.
        dataSet.DisableControls();
        const auto afterScroll = std::exchange(dataSet.AfterScroll, nullptr);
        const auto resume = qScopeGuard([&] {
            dataSet.AfterScroll = afterScroll;
            dataSet.EnableControls();
        });
        dataSet.SetFiltered(false);
        dataSet.First();
        const Field mark = dataSet.FieldByName(QString::fromLatin1(PlantRecord::FILTR));
        const Field note = dataSet.FieldByName(QString::fromLatin1(PlantRecord::NOTE));
        PassedSpecies passed(form);
        while (!dataSet.Eof()) {
            passed.Pass();
            dataSet.Edit();
            mark.SetAsBoolean(form.DBRichEdit1->ValueShowsText(note, text));
            dataSet.Post();
            dataSet.Next();
        }
        passed.Finish();
    }
    dataSet.SetReadOnly(true);
    ApplyFilter(dataSet, FilterText::Marked());
    form.PageControl1->show();
    restore.dismiss();

    if (dataSet.RecordCount() == 0) {
        dataSet.SetFiltered(false);
        dialogs::ShowMessage(QStringLiteral("Text nebyl nalezen!"));
    } else {
        dialogs::ShowMessage(QStringLiteral("Text nalezen v textu ") + QString::number(dataSet.RecordCount()) +
                             QStringLiteral(" rostlin."));
    }
    UpdatePlantCount();
    ReturnTo(dataSet, id);
}

// ---------------------------------------------------------------------------------------------------------
// Photo viewer.

void TForm1::RebuildPhotoList()
{
    photoFolder_.Find(CurrentId(*DataOrvela), PhotoList);
    PhotoList.Current = 0;
    // Without photos none is shown: the previous species' photo must not pass for this one's.
    LoadPicture(PhotoList.Count > 0 ? PhotoList.Files[0] : QString());
    ToolButton4->setEnabled(false);
    ToolButton5->setEnabled(PhotoList.Count > 1);
    LayoutPhoto();
}

void TForm1::LoadPicture(const QString& fileName)
{
    // A photo that cannot be read is shown as such and raises nothing: the paging, selection change, filter
    // or search that led to it goes on as with any other photo.
    Panel7->Image1->Load(fileName);
    PhotoList.PictureWidth = Panel7->Image1->PictureSize().width();
    PhotoList.PictureHeight = Panel7->Image1->PictureSize().height();
}

void TForm1::SyncPhotoPageGeometry()
{
    QWidget* shown = PageControl1->currentWidget();
    if (shown == TabSheet3)
        return;
    TabSheet3->setGeometry(shown->geometry());
    TabSheet3->layout()->setGeometry(TabSheet3->rect());
}

void TForm1::LayoutPhoto()
{
    SyncPhotoPageGeometry();
    PhotoImage* image = Panel7->Image1;
    QScrollBar* horizontal = Panel7->ScrollBar1;
    QScrollBar* vertical = Panel7->ScrollBar2;

    Panel7->SetImageAlignClient(true);
    PhotoList.AreaWidth = image->width();
    PhotoList.AreaHeight = image->height();
    Panel7->SetImageAlignClient(false);

    if (!ToolButton14->isChecked()) {
        const PhotoPlacement placement =
            FitPhoto(PhotoList.AreaWidth, PhotoList.AreaHeight, PhotoList.PictureWidth, PhotoList.PictureHeight);
        image->setGeometry(placement.left, placement.top, placement.width, placement.height);
    } else {
        horizontal->hide();
        vertical->hide();
        horizontal->setValue(0);
        vertical->setValue(0);
        image->setGeometry(0, 0, PhotoList.PictureWidth, PhotoList.PictureHeight);
        horizontal->setMaximum(std::max(0, image->width() - Panel7->width() + vertical->width()));
        vertical->setMaximum(std::max(0, image->height() - Panel7->height() + horizontal->height()));
        if (image->width() < Panel7->width())
            image->move(Halved(PhotoList.AreaWidth - image->width()), image->y());
        else
            horizontal->show();
        if (image->height() < Panel7->height())
            image->move(image->x(), Halved(PhotoList.AreaHeight - image->height()) + 2);
        else
            vertical->show();
    }
    const int position = PhotoList.Count > 0 ? PhotoList.Current + 1 : 0;
    ToolButton6->setText(QStringLiteral("Snímek ") + QString::number(position) + u'/' + QString::number(PhotoList.Count));
}

void TForm1::ToolButton5Click()
{
    if (PhotoList.Current >= PhotoList.Count - 1)
        return;
    ++PhotoList.Current;
    LoadPicture(PhotoList.Files[PhotoList.Current]);
    ToolButton4->setEnabled(true);
    ToolButton5->setEnabled(PhotoList.Current != PhotoList.Count - 1);
    LayoutPhoto();
}

void TForm1::ToolButton4Click()
{
    if (PhotoList.Current <= 0)
        return;
    --PhotoList.Current;
    LoadPicture(PhotoList.Files[PhotoList.Current]);
    if (PhotoList.Current == 0)
        ToolButton4->setEnabled(false);
    ToolButton5->setEnabled(true);
    LayoutPhoto();
}

void TForm1::ToolButton6Click()
{
    ToolButton6->setChecked(true);
}

void TForm1::ToolButton14Click()
{
    if (!ToolButton14->isChecked()) {
        Panel7->ScrollBar1->hide();
        Panel7->ScrollBar2->hide();
    }
    LayoutPhoto();
}

void TForm1::ScrollBar1Scroll(int position)
{
    Panel7->Image1->move(-position, Panel7->Image1->y());
}

void TForm1::ScrollBar2Scroll(int position)
{
    Panel7->Image1->move(Panel7->Image1->x(), -position);
}

void TForm1::PageControl1Resize()
{
    LayoutPhoto();
}

void TForm1::PageControl1Change()
{
    if (PageControl1->currentIndex() == kPhotoPage)
        LayoutPhoto();
}

// ---------------------------------------------------------------------------------------------------------
// Article printing and saving.

bool TForm1::ArticlePageActive() const
{
    return PageControl1->currentIndex() == kArticlePage;
}

void TForm1::ToolButton2Click()
{
    if (!PrintDialog1.Execute(this))
        return;
    QPrinter& printer = PrintDialog1.Printer();
    printer.setDocName(QStringLiteral("Orvela"));
    richtext::PrintDocument(*DBRichEdit1->Document(), printer);
}

void TForm1::ToolButton3Click()
{
    StartDir = QDir::currentPath();
    // The dialog may leave another directory current; the catalogue's relative names need this one.
    const auto restore = qScopeGuard([] { QDir::setCurrent(StartDir); });
    if (SaveDialog1.Execute(this))
        DataOrvela->FieldByName(QStringLiteral("Note")).SaveToFile(SaveDialog1.FileName);
}

void TForm1::isk1Click()
{
    if (ArticlePageActive())
        ToolButton2Click();
}

void TForm1::Uloit1Click()
{
    if (ArticlePageActive())
        ToolButton3Click();
}

// ---------------------------------------------------------------------------------------------------------
// Commands.

void TForm1::ToolButton7Click()
{
    FrmHledej->exec();
}

void TForm1::Hledej1Click()
{
    ToolButton7Click();
}

void TForm1::ToolButton10Click()
{
    ShowHelpContext(this, kMainWindowHelp);
}

void TForm1::Help1Click()
{
    ShowHelpContext(this, kMainWindowHelp);
}

void TForm1::ToolButton9Click()
{
    AboutBox->exec();
}

void TForm1::Info1Click()
{
    ToolButton9Click();
}

void TForm1::ToolButton11Click()
{
    auto* dialog = new TForm2(this);
    dialog->exec();
}

void TForm1::Instal1Click()
{
    ToolButton11Click();
}

void TForm1::ToolButton12Click()
{
    close();
}

void TForm1::CeskyClick()
{
    ToolButton1Click();
}

} // namespace orvela
