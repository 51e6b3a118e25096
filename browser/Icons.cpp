#include "browser/Icons.h"

namespace orvela {

QString IconPath(IconId id)
{
    const char* name = "";
    switch (id) {
    case IconId::CzechLatin: name = "czech_latin"; break;
    case IconId::SearchPlant: name = "search_plant"; break;
    case IconId::AllPlants: name = "all_plants"; break;
    case IconId::Help: name = "help"; break;
    case IconId::About: name = "about"; break;
    case IconId::Install: name = "install"; break;
    case IconId::Exit: name = "exit"; break;
    case IconId::BandSearch: name = "band_search"; break;
    case IconId::BandGroup: name = "band_group"; break;
    case IconId::PageSummary: name = "page_summary"; break;
    case IconId::PagePhoto: name = "page_photo"; break;
    case IconId::PageArticle: name = "page_article"; break;
    case IconId::Previous: name = "previous"; break;
    case IconId::Next: name = "next"; break;
    case IconId::Counter: name = "counter"; break;
    case IconId::OneToOne: name = "one_to_one"; break;
    case IconId::Print: name = "print"; break;
    case IconId::Save: name = "save"; break;
    }
    return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name));
}

QIcon Icon(IconId id)
{
    return QIcon(IconPath(id));
}

} // namespace orvela
