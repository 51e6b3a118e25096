#pragma once

#include "browser/PhotoList.h"
#include "platform/controls/DataSource.h"
#include "platform/dialogs/Dialogs.h"
#include "ui_Unit1.h"

#include <QMainWindow>
#include <memory>
#include <optional>

class QAction;
class QMenu;

namespace orvela {

class ClientDataSet;

/// The main window: the species list on the left, the current species on three pages on the right.
class TForm1 final : public QMainWindow, public Ui::TForm1 {
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The two catalogue datasets and their links to the bound controls.
    std::unique_ptr<ClientDataSet> DataOrvela;
    std::unique_ptr<ClientDataSet> DataFam;
    DataSource DataSource1;
    DataSource DataSource2;

    dialogs::SaveDialog SaveDialog1;
    dialogs::PrintDialog PrintDialog1;

    /// The list shows Czech names first, is ordered by them, and the name jump searches them.
    bool CzechFirst = false;
    orvela::PhotoList PhotoList;

    // Hidden menu: its items exist for their shortcut keys.
    QMenu* Menu;
    QAction* Hledej1;
    QAction* All1;
    QAction* Instal1;
    QAction* Info1;
    QAction* Cesky;
    QAction* isk1;
    QAction* Uloit1;
    QAction* Help1;
    QAction* ID1;

    // Start-up.
    void FormCreate();
    void FormShow();
    void FormResize();
    void DataOrvelaAfterOpen();

    // Species view.
    void DataOrvelaAfterScroll();
    void ToolButton1Click();
    void Edit3Change();
    void DBCheckBox1Click(QWidget* sender);
    void ID1Click();

    // List filters and the article text search.
    void ComboBox1Change(int index);
    void SpeedButton1Click();
    void SpeedButton2Click();
    void ToolButton8Click();
    void All1Click();
    void Edit1KeyUp(int key);

    // Photo viewer.
    void RebuildPhotoList();
    void LayoutPhoto();
    void ToolButton5Click();
    void ToolButton4Click();
    void ToolButton6Click();
    void ToolButton14Click();
    void ScrollBar1Scroll(int position);
    void ScrollBar2Scroll(int position);
    void PageControl1Resize();
    void PageControl1Change();

    // Article printing and saving.
    void ToolButton2Click();
    void ToolButton3Click();
    void isk1Click();
    void Uloit1Click();

    // Commands of the toolbar and the hidden menu.
    void ToolButton7Click();
    void Hledej1Click();
    void ToolButton10Click();
    void Help1Click();
    void ToolButton9Click();
    void Info1Click();
    void ToolButton11Click();
    void Instal1Click();
    void ToolButton12Click();
    void CeskyClick();

    /// The article page is the active page.
    bool ArticlePageActive() const;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetUpLook();
    void SetUpHiddenMenu();
    void BindControls();
    void WireEvents();
    void LoadPicture(const QString& fileName);
    void SetFamilyLine(const QString& line);
    void ShowFamilyLine();
    /// Splits the summary page: the trait area above, Panel5 at its bottom with the memo at the bottom of
    /// the family group box.
    void AlignFamilyPanel();
    /// Gives the photo page the size of the page shown, also while it is hidden.
    void SyncPhotoPageGeometry();

    PhotoFolder photoFolder_;
    std::optional<QString> pendingFamilyLine_;
    bool shown_ = false;
    bool selectingPageFromCode_ = false;
};

/// The main window; set before its creation handler runs.
extern TForm1* Form1;
/// The directory that the article saving returns to after its dialog.
extern QString StartDir;

/// "Počet rostlin: " and the number of visible species.
void UpdatePlantCount();
/// Marks every species whose article holds the text of Edit1 and lists them.
void SearchArticleText();

} // namespace orvela
