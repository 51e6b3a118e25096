#pragma once

#include <QIcon>
#include <QString>

#include <array>

namespace orvela {

/// Pictures of the toolbar commands, the cool bar bands, the pages and the page toolbars.
enum class IconId {
    CzechLatin,  // ToolButton1 "Česky/Latinsky"
    SearchPlant, // ToolButton7 "Hledej rostlinu"
    AllPlants,   // ToolButton8 "Všechny rostliny"
    Help,        // ToolButton10 "Nápověda"
    About,       // ToolButton9 "O Orvela"
    Install,     // ToolButton11 "Nainstaluj"
    Exit,        // ToolButton12 "Konec"
    BandSearch,  // band "Hledej text:"
    BandGroup,   // band "Jen skupinu:"
    PageSummary, // page "S&umář"
    PagePhoto,   // page "&Foto"
    PageArticle, // page "P&opis"
    Previous,    // ToolButton4 "&Předchozí"
    Next,        // ToolButton5 "&Další"
    Counter,     // ToolButton6, the photo counter
    OneToOne,    // ToolButton14 "Zobrazit 1:1"
    Print,       // ToolButton2 "&Tisk"
    Save,        // ToolButton3 "U&ložit"
};

inline constexpr std::array kAllIcons{
    IconId::CzechLatin, IconId::SearchPlant, IconId::AllPlants,   IconId::Help,      IconId::About,
    IconId::Install,    IconId::Exit,        IconId::BandSearch,  IconId::BandGroup, IconId::PageSummary,
    IconId::PagePhoto,  IconId::PageArticle, IconId::Previous,    IconId::Next,      IconId::Counter,
    IconId::OneToOne,   IconId::Print,       IconId::Save,
};

/// Resource path of the icon's SVG, e.g. ":/icons/print.svg".
QString IconPath(IconId id);

/// The icon, drawn by the SVG icon engine at whatever size the control asks for.
QIcon Icon(IconId id);

} // namespace orvela
