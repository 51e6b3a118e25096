#pragma once

#include "browser/catalogue.h"
#include "ui_Hledej.h"

#include <QDialog>

class QAction;
class QButtonGroup;

namespace orvela {

/// "Najdi rostlinu": narrows the species list to the species with the chosen traits.
/// Created once; its choices stay set from one opening to the next.
class TFrmHledej final : public QDialog, public Ui::TFrmHledej {
public:
    explicit TFrmHledej(QWidget* parent = nullptr);

    QAction* Help1;

    /// The selected item of a radio group (0: "Neurčeno", no condition).
    int ItemIndex(const QGroupBox* radioGroup) const;
    void SetItemIndex(const QGroupBox* radioGroup, int index);

    /// The criteria as the controls show them.
    FilterText::SearchCriteria Criteria() const;

    void BitBtn1Click();
    void Help1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QButtonGroup* GroupOf(const QGroupBox* radioGroup) const;
    std::vector<std::pair<const QGroupBox*, QButtonGroup*>> groups_;
};

/// The criteria search dialog, created at start after the main window.
extern TFrmHledej* FrmHledej;

} // namespace orvela
