#include "browser/Hledej.h"

#include "browser/Icons.h"
#include "browser/ShowHelpContext.h"
#include "browser/Unit1.h"
#include "platform/dataset/ClientDataSet.h"
#include "platform/dialogs/CentreOnScreen.h"
#include "platform/dialogs/Dialogs.h"

#include <QAction>
#include <QButtonGroup>
#include <QRadioButton>
#include <QStyle>

namespace orvela {

TFrmHledej* FrmHledej = nullptr;

TFrmHledej::TFrmHledej(QWidget* parent) : QDialog(parent)
{
    setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(604, 347);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(15);
    setFont(font);

    for (const QGroupBox* box : {RadioGroup1, RadioGroup2, RadioGroup3, RadioGroup4, RadioGroup5}) {
        auto* group = new QButtonGroup(this);
        int id = 0;
        for (QRadioButton* item : box->findChildren<QRadioButton*>(QString(), Qt::FindDirectChildrenOnly))
            group->addButton(item, id++);
        groups_.emplace_back(box, group);
    }

    BitBtn1->setIcon(Icon(IconId::SearchPlant));
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    connect(BitBtn1, &QPushButton::clicked, this, dialogs::Guarded([this] { BitBtn1Click(); }));
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    Help1 = new QAction(QStringLiteral("Help"), this);
    Help1->setShortcut(QKeySequence(Qt::Key_F1));
    Help1->setShortcutContext(Qt::WindowShortcut);
    addAction(Help1);
    connect(Help1, &QAction::triggered, this, dialogs::Guarded([this] { Help1Click(); }));
}

QButtonGroup* TFrmHledej::GroupOf(const QGroupBox* radioGroup) const
{
    for (const auto& [box, group] : groups_)
        if (box == radioGroup)
            return group;
    return nullptr;
}

int TFrmHledej::ItemIndex(const QGroupBox* radioGroup) const
{
    return std::max(0, GroupOf(radioGroup)->checkedId());
}

void TFrmHledej::SetItemIndex(const QGroupBox* radioGroup, int index)
{
    GroupOf(radioGroup)->button(index)->setChecked(true);
}

FilterText::SearchCriteria TFrmHledej::Criteria() const
{
    FilterText::SearchCriteria criteria;
    criteria.wildOnly = CheckBox1->isChecked();
    criteria.habitat = ItemIndex(RadioGroup1);
    criteria.colour = ItemIndex(RadioGroup2);
    criteria.month = ItemIndex(RadioGroup3);
    criteria.segments = ItemIndex(RadioGroup4);
    criteria.form = ItemIndex(RadioGroup5);
    return criteria;
}

void TFrmHledej::BitBtn1Click()
{
    ClientDataSet& dataSet = *Form1->DataOrvela;
    const QString id = CurrentId(dataSet);
    ApplyFilter(dataSet, FilterText::Criteria(Criteria()));
    if (dataSet.RecordCount() != 0) {
        UpdatePlantCount();
        ReturnTo(dataSet, id);
        Form1->ComboBox1->setCurrentIndex(0);
        accept();
    } else {
        dialogs::ShowMessage(QStringLiteral("Žádná rostlina nevyhovuje zadaným podmínkám!"));
        dataSet.SetFiltered(false);
        UpdatePlantCount();
    }
}

void TFrmHledej::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Owned by the main window, which would otherwise centre it on itself.
    dialogs::CentreOnScreen(*this);
}

void TFrmHledej::Help1Click()
{
    ShowHelpContext(this, kSearchDialogHelp);
}

} // namespace orvela
