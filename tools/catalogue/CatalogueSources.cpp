#include "tools/catalogue/CatalogueSources.h"

#include "tools/catalogue/ArticleMarkup.h"
#include "tools/catalogue/Rtf.h"
#include "tools/catalogue/SourceError.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <map>
#include <optional>

namespace orvela::catalogue {

namespace {

struct HeaderField {
    QString key; // as spelled in the allowed list
    QString value;
    int line = 0;
};

/// One block of "Key: value" lines.
class Header final {
public:
    Header(QString file, int firstLine) : file_(std::move(file)), firstLine_(firstLine) {}

    void Add(const QStringList& allowed, const QString& line, int lineNumber)
    {
        if (line.front().isSpace()) {
            if (fields_.empty())
                throw SourceError(file_, lineNumber, QStringLiteral("an indented line continues nothing"));
            fields_.back().value += u' ' + line.trimmed();
            return;
        }
        const qsizetype colon = line.indexOf(u':');
        if (colon <= 0)
            throw SourceError(file_, lineNumber, QStringLiteral("expected 'Name: value'"));
        const QString key = line.left(colon).trimmed();
        const auto known = std::find_if(allowed.begin(), allowed.end(), [&](const QString& name) {
            return name.compare(key, Qt::CaseInsensitive) == 0;
        });
        if (known == allowed.end())
            throw SourceError(file_, lineNumber,
                              QStringLiteral("unknown field '%1' (known: %2)")
                                  .arg(key, allowed.join(QStringLiteral(", "))));
        if (Find(*known))
            throw SourceError(file_, lineNumber, QStringLiteral("field '%1' given twice").arg(*known));
        fields_.push_back({*known, line.mid(colon + 1).trimmed(), lineNumber});
    }

    const HeaderField* Find(const QString& key) const
    {
        for (const HeaderField& field : fields_)
            if (field.key == key)
                return &field;
        return nullptr;
    }

    const HeaderField& Require(const QString& key) const
    {
        const HeaderField* field = Find(key);
        if (!field)
            throw SourceError(file_, firstLine_, QStringLiteral("missing field '%1'").arg(key));
        if (field->value.isEmpty())
            throw SourceError(file_, field->line, QStringLiteral("field '%1' has no value").arg(key));
        return *field;
    }

    int Integer(const QString& key) const
    {
        const HeaderField& field = Require(key);
        bool ok = false;
        const int value = field.value.toInt(&ok);
        if (!ok || value <= 0)
            throw SourceError(file_, field.line,
                              QStringLiteral("%1 must be a whole number above 0, not '%2'").arg(key, field.value));
        return value;
    }

    /// A text that the windows-1250 catalogue can hold within its field width.
    QString Text(const QString& key, int width) const
    {
        const HeaderField& field = Require(key);
        QByteArray bytes;
        if (!EncodeWindows1250(field.value, &bytes))
            throw SourceError(file_, field.line, QStringLiteral("%1 has a character that windows-1250 lacks").arg(key));
        if (width > 0 && bytes.size() > width)
            throw SourceError(file_, field.line,
                              QStringLiteral("%1 is %2 characters long, at most %3 fit")
                                  .arg(key)
                                  .arg(bytes.size())
                                  .arg(width));
        return field.value;
    }

    const QString& File() const { return file_; }
    int FirstLine() const { return firstLine_; }

private:
    QString file_;
    int firstLine_;
    std::vector<HeaderField> fields_;
};

QStringList SplitLines(const QByteArray& utf8, const QString& file)
{
    QByteArray bytes = utf8;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringList lines;
    int lineNumber = 0;
    for (QByteArray& raw : bytes.split('\n')) {
        ++lineNumber;
        if (raw.endsWith('\r'))
            raw.chop(1);
        QStringDecoder decoder(QStringDecoder::Utf8);
        QString line = decoder(raw);
        if (decoder.hasError())
            throw SourceError(file, lineNumber, QStringLiteral("the line is not valid UTF-8"));
        lines << line;
    }
    return lines;
}

struct ParsedFamily {
    FamilyRecord record;
    int idLine = 0;
};

struct ParsedSpecies {
    SpeciesRecord record;
    int idLine = 0;
    int familyLine = 0;
};

FamilyRecord FamilyFromHeader(const Header& header)
{
    FamilyRecord family;
    family.id = header.Integer(QStringLiteral("ID"));
    family.cz = header.Text(QStringLiteral("cz"), kFamilyNameWidth);
    family.latin = header.Text(QStringLiteral("latin"), kFamilyNameWidth);
    family.note = header.Text(QStringLiteral("Note"), 0);
    return family;
}

std::vector<ParsedFamily> ParseFamilySource(const QByteArray& utf8, const QString& file)
{
    static const QStringList keys = {QStringLiteral("ID"), QStringLiteral("cz"), QStringLiteral("latin"),
                                     QStringLiteral("Note")};
    const QStringList lines = SplitLines(utf8, file);
    std::vector<ParsedFamily> families;
    std::optional<Header> header;
    const auto finish = [&] {
        if (header)
            families.push_back({FamilyFromHeader(*header), header->Require(QStringLiteral("ID")).line});
        header.reset();
    };
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNumber = static_cast<int>(i) + 1;
        const QString& line = lines[i];
        if (line.trimmed().isEmpty()) {
            finish();
            continue;
        }
        if (line.startsWith(u'#'))
            continue;
        if (!header)
            header.emplace(file, lineNumber);
        header->Add(keys, line, lineNumber);
    }
    finish();
    return families;
}

/// Trait names of one kind, in any case, written back in their packet spelling.
void ReadFlags(const Header& header, const QString& key, const QStringList& prefixes, const QString& expected,
               SpeciesRecord& species)
{
    const HeaderField& field = header.Require(key);
    for (const QString& token : field.value.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts)) {
        const QString name = token.toUpper();
        const int index = BooleanFieldIndex(name);
        const bool rightKind = std::any_of(prefixes.begin(), prefixes.end(), [&](const QString& prefix) {
            return name.startsWith(prefix) && name.size() > prefix.size() && name[prefix.size()].isDigit();
        });
        if (index < 0 || !rightKind)
            throw SourceError(header.File(), field.line,
                              QStringLiteral("unknown trait '%1' in %2 (expected %3)").arg(token, key, expected));
        species.flags.set(index);
    }
}

/// Each kind of trait is either undetermined (its 0 alone) or holds some values.
void CheckTraitKind(const Header& header, const SpeciesRecord& species, const QString& prefix, int last)
{
    const HeaderField& field = header.Require(QStringLiteral("Traits"));
    int count = 0;
    for (int i = 1; i <= last; ++i)
        count += species.Flag(prefix + QString::number(i)) ? 1 : 0;
    const bool undetermined = species.Flag(prefix + u'0');
    if (count == 0 && !undetermined)
        throw SourceError(header.File(), field.line,
                          QStringLiteral("no %1 trait: name one of %2, or %3 when it is not determined")
                              .arg(prefix, prefix + u'1' + u'-' + prefix + QString::number(last), prefix + u'0'));
    if (count > 0 && undetermined)
        throw SourceError(header.File(), field.line,
                          QStringLiteral("%1 (not determined) together with other %2 traits")
                              .arg(prefix + u'0', prefix));
}

/// "3-6 9", "11-2" (across the new year) or "-" for a plant that does not flower.
void ReadMonths(const Header& header, SpeciesRecord& species)
{
    const HeaderField& field = header.Require(QStringLiteral("Months"));
    if (field.value == u'-')
        return;
    static const QRegularExpression range(QStringLiteral("^(\\d{1,2})(?:-(\\d{1,2}))?$"));
    for (const QString& token : field.value.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts)) {
        const auto match = range.match(token);
        const int first = match.hasMatch() ? match.captured(1).toInt() : 0;
        const int last = match.hasMatch() && match.hasCaptured(2) ? match.captured(2).toInt() : first;
        if (first < 1 || first > 12 || last < 1 || last > 12)
            throw SourceError(header.File(), field.line,
                              QStringLiteral("unknown month '%1' (expected 1-12, a range such as 4-6, or -)")
                                  .arg(token));
        for (int month = first;; month = month % 12 + 1) {
            species.SetFlag(QStringLiteral("DK") + QString::number(month));
            if (month == last)
                break;
        }
    }
}

ParsedSpecies ParseSpeciesSource(const QByteArray& utf8, const QString& file)
{
    static const QStringList keys = {QStringLiteral("ID"),     QStringLiteral("CZ"),     QStringLiteral("LAT"),
                                     QStringLiteral("Family"), QStringLiteral("Traits"), QStringLiteral("Months"),
                                     QStringLiteral("Groups"), QStringLiteral("FILTR")};
    const QStringList lines = SplitLines(utf8, file);
    Header header(file, 1);
    qsizetype body = lines.size();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty()) {
            body = i + 1;
            break;
        }
        header.Add(keys, lines[i], static_cast<int>(i) + 1);
    }

    ParsedSpecies parsed;
    SpeciesRecord& species = parsed.record;
    species.id = header.Integer(QStringLiteral("ID"));
    parsed.idLine = header.Require(QStringLiteral("ID")).line;
    species.cz = header.Text(QStringLiteral("CZ"), kNameWidth);
    species.lat = header.Text(QStringLiteral("LAT"), kNameWidth);
    species.family = header.Integer(QStringLiteral("Family"));
    parsed.familyLine = header.Require(QStringLiteral("Family")).line;

    ReadFlags(header, QStringLiteral("Traits"), {QStringLiteral("S"), QStringLiteral("B"), QStringLiteral("KL")},
              QStringLiteral("S0-S5, B0-B8, KL0-KL3"), species);
    CheckTraitKind(header, species, QStringLiteral("S"), 5);
    CheckTraitKind(header, species, QStringLiteral("B"), 8);
    CheckTraitKind(header, species, QStringLiteral("KL"), 3);
    ReadMonths(header, species);
    ReadFlags(header, QStringLiteral("Groups"), {QStringLiteral("SK")}, QStringLiteral("SK1-SK12"), species);
    if (!species.Flag(QStringLiteral("SK10")) && !species.Flag(QStringLiteral("SK11")) &&
        !species.Flag(QStringLiteral("SK12")))
        throw SourceError(file, header.Require(QStringLiteral("Groups")).line,
                          QStringLiteral("no growth form: name SK10 (herb), SK11 (shrub) or SK12 (tree)"));

    if (const HeaderField* filtr = header.Find(QStringLiteral("FILTR"))) {
        const QString value = filtr->value.toLower();
        if (value != u"true" && value != u"false")
            throw SourceError(file, filtr->line, QStringLiteral("FILTR is true or false, not '%1'").arg(filtr->value));
        species.filtr = value == u"true";
    }

    if (body >= lines.size())
        throw SourceError(file, static_cast<int>(lines.size()), QStringLiteral("no article after the header"));
    species.note = MarkupToRtf(lines.mid(body), file, static_cast<int>(body) + 1);
    return parsed;
}

} // namespace

std::vector<FamilyRecord> ParseFamilies(const QByteArray& utf8, const QString& file)
{
    std::vector<FamilyRecord> families;
    for (ParsedFamily& parsed : ParseFamilySource(utf8, file))
        families.push_back(std::move(parsed.record));
    return families;
}

SpeciesRecord ParseSpecies(const QByteArray& utf8, const QString& file)
{
    return ParseSpeciesSource(utf8, file).record;
}

namespace {

QByteArray ReadSource(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw SourceError(path, 0, QStringLiteral("cannot be read: %1").arg(file.errorString()));
    return file.readAll();
}

} // namespace

Catalogue ReadCatalogueSources(const QString& folder)
{
    const QDir dir(folder);
    const QString familyFile = dir.filePath(QStringLiteral("families.txt"));
    Catalogue catalogue;
    std::map<int, int> familyLines; // ID -> line
    for (ParsedFamily& parsed : ParseFamilySource(ReadSource(familyFile), familyFile)) {
        const auto [first, added] = familyLines.emplace(parsed.record.id, parsed.idLine);
        if (!added)
            throw SourceError(familyFile, parsed.idLine,
                              QStringLiteral("duplicate family ID %1, first given on line %2")
                                  .arg(parsed.record.id)
                                  .arg(first->second));
        catalogue.families.push_back(std::move(parsed.record));
    }
    if (catalogue.families.empty())
        throw SourceError(familyFile, 1, QStringLiteral("no family in the file"));

    const QDir speciesDir(dir.filePath(QStringLiteral("plants")));
    const QStringList names = speciesDir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
    if (names.isEmpty())
        throw SourceError(speciesDir.path(), 0, QStringLiteral("no species file (*.txt) in the folder"));
    std::map<int, QString> speciesFiles; // ID -> where
    for (const QString& name : names) {
        const QString path = speciesDir.filePath(name);
        ParsedSpecies parsed = ParseSpeciesSource(ReadSource(path), path);
        const int id = parsed.record.id;
        // The file name leads with the ID, so that a copied file with an unchanged ID shows at once.
        static const QRegularExpression leadingNumber(QStringLiteral("^(\\d+)-"));
        const auto match = leadingNumber.match(name);
        if (!match.hasMatch() || match.captured(1).toInt() != id)
            throw SourceError(path, parsed.idLine,
                              QStringLiteral("ID %1 does not match the file name, which should begin with '%1-'")
                                  .arg(id));
        const auto [first, added] = speciesFiles.emplace(id, QStringLiteral("%1:%2").arg(path).arg(parsed.idLine));
        if (!added)
            throw SourceError(path, parsed.idLine,
                              QStringLiteral("duplicate species ID %1, first given in %2").arg(id).arg(first->second));
        if (!familyLines.count(parsed.record.family))
            throw SourceError(path, parsed.familyLine,
                              QStringLiteral("family %1 does not exist in %2")
                                  .arg(parsed.record.family)
                                  .arg(familyFile));
        catalogue.species.push_back(std::move(parsed.record));
    }
    std::sort(catalogue.species.begin(), catalogue.species.end(),
              [](const SpeciesRecord& a, const SpeciesRecord& b) { return a.id < b.id; });
    return catalogue;
}

} // namespace orvela::catalogue
