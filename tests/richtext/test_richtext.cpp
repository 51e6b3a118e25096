#include "platform/errors/Errors.h"
#include "platform/richtext/PrintDocument.h"
#include "platform/richtext/RichText.h"
#include "platform/richtext/SearchText.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <QTransform>

using namespace orvela::richtext;

namespace {

/// An article as the rich-text control writes it; letters beyond ASCII go in as \uN with a fallback.
QByteArray Rtf(const QString& body)
{
    QByteArray escaped;
    for (QChar c : body) {
        if (c.unicode() < 0x80)
            escaped.append(char(c.unicode()));
        else
            escaped.append("\\u" + QByteArray::number(c.unicode()) + "?");
    }
    return R"({\rtf1\ansi\ansicpg1250\deff0{\fonttbl{\f0\fswiss\fcharset238 Arial CE;}{\f1\froman\fcharset2 Symbol;})"
           R"({\f2\fnil\fcharset204 Arial;}}{\colortbl ;\red255\green0\blue0;\red0\green0\blue255;})"
           R"(\viewkind4\uc1\pard\lang1029\f0\fs20 )" +
           escaped + "\\par\r\n}";
}

QString DocumentText(const QByteArray& value)
{
    QTextDocument document;
    LoadArticle(document, value);
    return document.toPlainText();
}

/// Text fragments of the document with their formats, in order.
QList<QTextFragment> Fragments(const QTextDocument& document)
{
    QList<QTextFragment> fragments;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            fragments.append(it.fragment());
    return fragments;
}

QTextCharFormat FormatOf(const QTextDocument& document, const QString& text)
{
    for (const QTextFragment& fragment : Fragments(document))
        if (fragment.text() == text)
            return fragment.charFormat();
    qWarning() << "no fragment" << text << "in" << document.toPlainText();
    return {};
}

int PdfPageCount(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return int(QString::fromLatin1(file.readAll()).count(QRegularExpression(QStringLiteral("/Type\\s*/Page[^s]"))));
}

/// Where the first glyph of a printed PDF sits, in points from the top-left of its sheet: the first
/// text offset of the first page's content under the transforms in force there. Null without text.
QPointF FirstGlyphOrigin(const QString& fileName, qreal sheetHeight)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray pdf = file.readAll();
    const qsizetype start = pdf.indexOf("stream\n") + 7;
    const QByteArray content = qUncompress(QByteArray("\0\1\0\0", 4) + pdf.mid(start, pdf.indexOf("endstream", start) - start));
    QList<QTransform> saved{QTransform()};
    QList<qreal> operands;
    for (const QByteArray& token : content.simplified().split(' ')) {
        bool isNumber = false;
        const qreal number = token.toDouble(&isNumber);
        if (isNumber) {
            operands.append(number);
            continue;
        }
        if (token == "q") {
            saved.append(saved.last());
        } else if (token == "Q" && saved.size() > 1) {
            saved.removeLast();
        } else if (token == "cm" && operands.size() >= 6) {
            const qreal* m = operands.constData() + operands.size() - 6;
            saved.last() = QTransform(m[0], m[1], m[2], m[3], m[4], m[5]) * saved.last();
        } else if (token == "Td" && operands.size() >= 2) {
            // Text space is flipped (Tm 1 0 0 -1), PDF space runs up from the sheet's bottom.
            const QPointF at = saved.last().map(QPointF(operands[operands.size() - 2], -operands.last()));
            return {at.x(), sheetHeight - at.y()};
        }
        operands.clear();
    }
    return {};
}

} // namespace

class TestRichText final : public QObject {
    Q_OBJECT

private slots:
    void articleText_data();
    void articleText();
    void brokenInput_data();
    void brokenInput();
    void largeInput_data();
    void largeInput();
    void characterFormats();
    void paragraphFormats();
    void lists();
    void pictures();
    void defaultFontKept();
    void caseIgnoredSearch_data();
    void caseIgnoredSearch();
    void foldingAgreesWithQt();
    void printedPages_data();
    void printedPages();
    void printToUnwritableFile();
};

void TestRichText::articleText_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("expected");

    // Czech letters
    QTest::newRow("hex bytes in windows-1250") << Rtf(R"(\'e8erven\'fd k\'f9\'f2 \'8e\'e1ba)")
                                               << QStringLiteral("červený kůň Žába");
    QTest::newRow("no code page named") << QByteArray(R"({\rtf1\ansi \'e8\'ed\'9a}")") << QStringLiteral("číš");
    QTest::newRow("raw high bytes") << QByteArray("{\\rtf1 \xe8\xe1p}") << QStringLiteral("čáp");
    QTest::newRow("unicode") << Rtf(R"(\u269?ern\u253?)") << QStringLiteral("černý");
    QTest::newRow("unicode fallback as hex byte") << Rtf(R"(\u269\'e8ap)") << QStringLiteral("čap");
    QTest::newRow("uc2 skips two") << Rtf(R"(\uc2\u269??ap)") << QStringLiteral("čap");
    QTest::newRow("uc0 skips none") << Rtf(R"(\uc0\u269 ap)") << QStringLiteral("čap");
    QTest::newRow("uc scoped to group") << Rtf(R"({\uc2\u269??}\u269?)") << QStringLiteral("čč");
    QTest::newRow("fallback cut by group end") << Rtf(R"({\uc3\u269?}ap)") << QStringLiteral("čap");
    QTest::newRow("negative unicode") << Rtf(R"(\u-4064?)") << QString(QChar(0xF020));
    QTest::newRow("surrogate pair") << Rtf(R"(\u-10179?\u-8704?)") << QStringLiteral("\U0001F600");

    // code pages of fonts and documents
    QTest::newRow("cyrillic font") << Rtf(R"(\f2\'c4\'e0\f0 \'e8)") << QStringLiteral("\u0414\u0430\u010D");
    QTest::newRow("ansi font follows document") << QByteArray(R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0\fcharset0 Arial;}}\f0 caf\'e9})")
                                                << QStringLiteral("café");
    QTest::newRow("greek font") << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset161 Arial;}}\f0 \'e1\'e2})")
                                << QStringLiteral("αβ");
    QTest::newRow("symbol font") << Rtf(R"({\f1 \'61\'b7})") << QStringLiteral("α•");
    QTest::newRow("double-byte run") << QByteArray(R"({\rtf1\ansi\ansicpg932 \'82\'a0\'93\'fa})") << QStringLiteral("あ日");
    QTest::newRow("font name not shown") << QByteArray(R"({\rtf1{\fonttbl{\f0 Arial;}}{\colortbl;\red1\green2\blue3;}x})")
                                         << QStringLiteral("x");

    // structure and special characters
    QTest::newRow("paragraph, line, tab") << Rtf(R"(a\par b\line c\tab d)") << QStringLiteral("a\nb\nc\td");
    QTest::newRow("last paragraph mark makes no paragraph") << QByteArray(R"({\rtf1 a\par})") << QStringLiteral("a");
    QTest::newRow("empty paragraph at the end") << QByteArray(R"({\rtf1 a\par\par})") << QStringLiteral("a\n");
    QTest::newRow("control symbols") << Rtf(R"(a\~b\-c\_d\{\}\\)") << QStringLiteral("a b\u00ADc\u2011d{}\\");
    QTest::newRow("escaped line end is a paragraph") << QByteArray("{\\rtf1 a\\\nb}") << QStringLiteral("a\nb");
    QTest::newRow("raw line ends ignored") << QByteArray("{\\rtf1 a\r\nb\rc\nd}") << QStringLiteral("abcd");
    QTest::newRow("typographic words")
        << Rtf(R"(\emdash\endash\bullet\lquote\rquote\ldblquote\rdblquote)") << QStringLiteral("—–•‘’“”");
    QTest::newRow("formatting words are not text") << Rtf(R"(\b tučně\b0  \i\fs32\cf1 x\plain )") << QStringLiteral("tučně x");
    QTest::newRow("unknown word keeps its group") << Rtf(R"({\mystery kept})") << QStringLiteral("kept");
    QTest::newRow("ignorable destination") << Rtf(R"({\*\mystery secret}shown)") << QStringLiteral("shown");
    QTest::newRow("known destinations skipped")
        << Rtf(R"({\info{\title T}{\author A}}{\stylesheet{\s0 Normal;}}{\header H}{\footer F}{\footnote N})"
               R"({\pict\pngblip 89504e47}{\object{\objdata 0102}}text)")
        << QStringLiteral("text");
    QTest::newRow("field shows its result") << Rtf(R"({\field{\*\fldinst HYPERLINK "x"}{\fldrslt odkaz}})")
                                            << QStringLiteral("odkaz");
    QTest::newRow("hidden text") << Rtf(R"(a{\v skryto}b)") << QStringLiteral("ab");
    QTest::newRow("binary data skipped") << Rtf(R"(a\bin3 }{}b)") << QStringLiteral("ab");
    QTest::newRow("list markers are not text")
        << Rtf(R"({\pntext\f1\'b7\tab}{\*\pn\pnlvlblt\pnf1{\pntxtb\'b7}}\fi-360\li360 one\par{\pntext\f1\'b7\tab}two)")
        << QStringLiteral("one\ntwo");
    QTest::newRow("text after the document ignored") << QByteArray(R"({\rtf1 a}b)") << QStringLiteral("a");
    QTest::newRow("empty document") << QByteArray(R"({\rtf1})") << QString();

    // values that are not rich text
    QTest::newRow("plain windows-1250 lines") << QByteArray("\xd8\xe1" "dek 1\r\n\xd8\xe1" "dek 2\n3\r4")
                                              << QStringLiteral("Řádek 1\nŘádek 2\n3\n4");
    QTest::newRow("leading blank is plain text") << QByteArray(R"( {\rtf1 a})") << QStringLiteral(R"( {\rtf1 a})");
    QTest::newRow("empty value") << QByteArray() << QString();
}

void TestRichText::articleText()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, expected);
    QCOMPARE(ArticleText(value), expected);
    QCOMPARE(DocumentText(value), expected);
    QCOMPARE(FoldedArticleText(value), FoldedText(expected));
    // One reader for every row: nothing of an article carries over to the next.
    static ArticleTexts kept;
    static ArticleTexts noneKept(0);
    for (ArticleTexts* texts : {&kept, &noneKept})
        QVERIFY(texts->Contains(value, [&] { return QByteArrayView(value); }, FoldedText(expected)) || expected.isEmpty());
}

void TestRichText::brokenInput_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("contains");

    QTest::newRow("unclosed groups") << QByteArray(R"({\rtf1 {\b {{ a)") << QStringLiteral("a");
    QTest::newRow("extra closing braces") << QByteArray(R"({\rtf1 {a}}}}} b)") << QStringLiteral("a");
    QTest::newRow("deep nesting") << QByteArray(R"({\rtf1 )") + QByteArray(100000, '{') + "deep" << QStringLiteral("deep");
    QTest::newRow("deep nesting closed")
        << QByteArray(R"({\rtf1 )") + QByteArray(100000, '{') + "deep" + QByteArray(100000, '}') + "after}"
        << QStringLiteral("deepafter");
    QTest::newRow("huge parameter") << QByteArray(R"({\rtf1 \fs99999999999\li-99999999999\u99999999999?x})")
                                    << QStringLiteral("x");
    QTest::newRow("huge skip count") << QByteArray(R"({\rtf1 {\uc99999999999\u100 abc}x})") << QStringLiteral("x");
    QTest::newRow("huge binary length") << QByteArray(R"({\rtf1 x\bin99999999999 abc)") << QStringLiteral("x");
    QTest::newRow("truncated hex") << QByteArray(R"({\rtf1 x\'e)") << QStringLiteral("x");
    QTest::newRow("hex cut by brace") << QByteArray(R"({\rtf1 {x\'4}y})") << QStringLiteral("xy");
    QTest::newRow("backslash at end") << QByteArray(R"({\rtf1 x\)") << QStringLiteral("x");
    QTest::newRow("long control word") << QByteArray(R"({\rtf1 \)") + QByteArray(5000, 'a') + " x}" << QStringLiteral("x");
    QTest::newRow("control characters") << QByteArray("{\\rtf1 a\\'00\\'0d\\u13?\\u8233?b}", 30) << QStringLiteral("a b");
    QTest::newRow("unknown code page") << QByteArray(R"({\rtf1\ansicpg77777 \'e8})") << QStringLiteral("č");
    QTest::newRow("cut double-byte character") << QByteArray(R"({\rtf1\ansicpg932 x\'82})") << QStringLiteral("x");
    QTest::newRow("font table without end") << QByteArray(R"({\rtf1{\fonttbl{\f0\fcharset238 Ari)") << QString();
    QTest::newRow("many fonts and colours")
        << QByteArray(R"({\rtf1{\fonttbl)") + QByteArray(R"({\f9999\cpg1234 X;})").repeated(2000) + "}" +
               QByteArray(R"({\colortbl)") + QByteArray(";").repeated(20000) + "}\\f9999\\cf19999 x}"
        << QStringLiteral("x");
}

void TestRichText::brokenInput()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, contains);
    const QString text = ArticleText(value);
    QVERIFY2(text.contains(contains), qPrintable(text.left(200)));
    QCOMPARE(DocumentText(value), text);
}

void TestRichText::largeInput_data()
{
    QTest::addColumn<QByteArray>("value");

    const QByteArray start = R"({\rtf1 )";
    QTest::newRow("open braces") << start + QByteArray(2'000'000, '{');
    QTest::newRow("empty groups") << start + QByteArray("{}").repeated(1'000'000);
    QTest::newRow("ignorable groups left open") << start + QByteArray(R"({\*\x )").repeated(300'000);
    QTest::newRow("paragraphs") << start + QByteArray(R"(\par )").repeated(100'000);
    QTest::newRow("hex bytes") << start + QByteArray(R"(\'e8)").repeated(500'000);
    QTest::newRow("formatting switches") << start + QByteArray(R"(\b a\b0 b)").repeated(100'000);
    QTest::newRow("font table entries") << start + R"({\fonttbl)" + QByteArray(R"({\f1 A;})").repeated(300'000) + "}";
    QTest::newRow("plain lines") << QByteArray("line\r\n").repeated(100'000);
}

/// Every reading is linear in the input: a few megabytes of any shape take well under a second.
void TestRichText::largeInput()
{
    QFETCH(QByteArray, value);
    QElapsedTimer timer;
    timer.start();
    const QString text = ArticleText(value);
    QCOMPARE(DocumentText(value), text);
    QVERIFY2(timer.elapsed() < 10'000, qPrintable(QString::number(timer.elapsed())));
}

void TestRichText::characterFormats()
{
    QTextDocument document;
    LoadArticle(document, Rtf(R"(obyčejné \b tučné\b0  \i kurzíva\i0  \ul podtržené\ulnone  \strike přeškrtnuté\strike0 )"
                              R"( {\cf1 červené} {\fs30 velké} {\b\i obojí}zpět \f2\plain prosté)"));
    const auto plain = FormatOf(document, QStringLiteral("obyčejné "));
    QCOMPARE(plain.fontWeight(), int(QFont::Normal));
    QVERIFY(!plain.fontItalic());
    QCOMPARE(plain.fontPointSize(), 10.0);
    // The font table names "Arial CE", the Windows alias of Arial for East European letters.
    QCOMPARE(plain.fontFamilies().toStringList(), QStringList{QStringLiteral("Arial")});
    QCOMPARE(FormatOf(document, QStringLiteral("tučné")).fontWeight(), int(QFont::Bold));
    QVERIFY(FormatOf(document, QStringLiteral("kurzíva")).fontItalic());
    QVERIFY(FormatOf(document, QStringLiteral("podtržené")).fontUnderline());
    QVERIFY(FormatOf(document, QStringLiteral("přeškrtnuté")).fontStrikeOut());
    QCOMPARE(FormatOf(document, QStringLiteral("červené")).foreground().color(), QColor(255, 0, 0));
    QCOMPARE(FormatOf(document, QStringLiteral("velké")).fontPointSize(), 15.0);
    const auto both = FormatOf(document, QStringLiteral("obojí"));
    QVERIFY(both.fontItalic() && both.fontWeight() == QFont::Bold);
    // Group ends restore what was before; \plain drops size and colour.
    const auto back = FormatOf(document, QStringLiteral("zpět "));
    QVERIFY(!back.fontItalic() && back.fontWeight() != QFont::Bold);
    QVERIFY(!back.hasProperty(QTextFormat::ForegroundBrush));
    QVERIFY(!FormatOf(document, QStringLiteral("prosté")).hasProperty(QTextFormat::FontPointSize));
}

void TestRichText::paragraphFormats()
{
    QTextDocument document;
    LoadArticle(document, Rtf(R"(\deftab360\qc na střed\par\qr vpravo\par\qj do bloku\par)"
                              R"(\pard\li720\fi-360\sb120\tx1440\tqr\tx4320 odsazený\tab s\tab tabulátory)"));
    QCOMPARE(document.blockCount(), 4);
    QCOMPARE(document.defaultTextOption().tabStopDistance(), 24.0);
    QCOMPARE(document.findBlockByNumber(0).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QCOMPARE(document.findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(document.findBlockByNumber(2).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
    const QTextBlockFormat indented = document.findBlockByNumber(3).blockFormat();
    QCOMPARE(indented.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    QCOMPARE(indented.leftMargin(), 48.0);
    QCOMPARE(indented.textIndent(), -24.0);
    QCOMPARE(indented.topMargin(), 8.0);
    const QList<QTextOption::Tab> tabs = indented.tabPositions();
    QCOMPARE(tabs.size(), 2);
    QCOMPARE(tabs[0], QTextOption::Tab(96, QTextOption::LeftTab));
    QCOMPARE(tabs[1], QTextOption::Tab(288, QTextOption::RightTab));
}

void TestRichText::lists()
{
    QTextDocument document;
    LoadArticle(document,
                Rtf(R"({\pntext\f1\'b7\tab}{\*\pn\pnlvlblt\pnf1\pnindent0{\pntxtb\'b7}}\fi-360\li360 jedna\par)"
                    R"({\pntext\f1\'b7\tab}dva\par\pard konec\par)"
                    R"({\pntext 1.\tab}{\*\pn\pnlvlbody\pndec\pnstart1{\pntxta .}}\fi-360\li360 první\par)"
                    R"(\pard{\listtext\pard\plain\f0 b)\tab}druhý)"));
    QCOMPARE(document.toPlainText(), QStringLiteral("jedna\ndva\nkonec\nprvní\ndruhý"));
    const QTextList* bullets = document.findBlockByNumber(0).textList();
    QVERIFY(bullets);
    QCOMPARE(bullets->format().style(), QTextListFormat::ListDisc);
    QCOMPARE(document.findBlockByNumber(1).textList(), bullets);
    QVERIFY(!document.findBlockByNumber(2).textList());
    const QTextList* numbers = document.findBlockByNumber(3).textList();
    QVERIFY(numbers);
    QCOMPARE(numbers->format().style(), QTextListFormat::ListDecimal);
    QCOMPARE(numbers->format().numberSuffix(), QStringLiteral("."));
    // A marker alone, without numbering words, still makes a numbered paragraph.
    const QTextList* guessed = document.findBlockByNumber(4).textList();
    QVERIFY(guessed);
    QCOMPARE(guessed->format().style(), QTextListFormat::ListLowerAlpha);
    QCOMPARE(guessed->format().numberSuffix(), QStringLiteral(")"));
}

void TestRichText::pictures()
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const QByteArray article = R"({\rtf1 a{\pict\pngblip\picwgoal600\pichgoal300 )" + png.toHex() +
                               R"(}b{\pict\wmetafile8 0100}{\pict\jpegblip ffd8ffe0}{\*\shppict{\pict\pngblip\bin)" +
                               QByteArray::number(png.size()) + " " + png + "}}{\\nonshppict{\\pict\\pngblip " + png.toHex() + "}}c}";

    // Shown pictures stand in the text as object characters; the others are skipped.
    const QString expected = QStringLiteral("a\uFFFCb\uFFFCc");
    QCOMPARE(ArticleText(article), expected);
    QTextDocument document;
    LoadArticle(document, article);
    QCOMPARE(document.toPlainText(), expected);
    const QTextImageFormat sized = FormatOf(document, QStringLiteral("\uFFFC")).toImageFormat();
    QCOMPARE(QSizeF(sized.width(), sized.height()), QSizeF(40, 20));
    const QVariant resource = document.resource(QTextDocument::ImageResource, QUrl(sized.name()));
    QCOMPARE(resource.value<QImage>().size(), QSize(4, 3));

    QTemporaryDir folder;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder.filePath(QStringLiteral("obrazek.pdf")));
    PrintDocument(document, printer);
    QFile pdf(printer.outputFileName());
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.readAll().contains("/Subtype /Image"));
}

void TestRichText::defaultFontKept()
{
    QTextDocument document;
    document.setDefaultFont(ArticleFont());
    LoadArticle(document, QByteArray(R"({\rtf1 bez velikosti})"));
    QCOMPARE(document.defaultFont().family(), QStringLiteral("Arial"));
    QCOMPARE(document.defaultFont().pointSizeF(), 11.25);
    QVERIFY(!FormatOf(document, QStringLiteral("bez velikosti")).hasProperty(QTextFormat::FontPointSize));
}

void TestRichText::caseIgnoredSearch_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("searchText");
    QTest::addColumn<bool>("found");

    QTest::newRow("same case") << QStringLiteral("Kvete červeně") << QStringLiteral("červeně") << true;
    QTest::newRow("Czech capitals fold") << QStringLiteral("ČERVENÝ ŽLUŤOUČKÝ") << QStringLiteral("žluťoučký") << true;
    QTest::newRow("inside a word") << QStringLiteral("Lipnice luční") << QStringLiteral("pni") << true;
    QTest::newRow("blanks searched as they are") << QStringLiteral("a  b") << QStringLiteral("  ") << true;
    QTest::newRow("across a line break") << QStringLiteral("konec\nřádku") << QStringLiteral("c\nř") << true;
    QTest::newRow("absent") << QStringLiteral("Pampeliška") << QStringLiteral("růže") << false;
    QTest::newRow("no diacritics folding") << QStringLiteral("čáp") << QStringLiteral("cap") << false;
    QTest::newRow("capitals with diacritics") << QStringLiteral("Řepík lékařský") << QStringLiteral("ŘEPÍK") << true;
    QTest::newRow("sharp s is not ss") << QStringLiteral("Straße") << QStringLiteral("STRASSE") << false;
    QTest::newRow("final sigma") << QStringLiteral("ΟΔΟΣ") << QStringLiteral("οδος") << true;
    QTest::newRow("Kelvin sign") << QStringLiteral("20 \u212A") << QStringLiteral("k") << true;
    QTest::newRow("dotted capital I") << QStringLiteral("İlex") << QStringLiteral("ilex") << false;
    QTest::newRow("letters beyond the first plane") << QStringLiteral("x\U00010400\U00010401")
                                                    << QStringLiteral("\U00010428\U00010429") << true;
}

void TestRichText::caseIgnoredSearch()
{
    QFETCH(QString, text);
    QFETCH(QString, searchText);
    QFETCH(bool, found);
    QCOMPARE(FoldedText(text).contains(FoldedText(searchText)), found);
}

void TestRichText::foldingAgreesWithQt()
{
    // A character and each of its case partners: Qt finds the one in the other exactly when both fold alike.
    for (char32_t u = 0; u < 0x10000; ++u) {
        if (QChar::isSurrogate(u))
            continue;
        const QChar c{char16_t(u)};
        for (const QChar other : {c.toLower(), c.toUpper(), c.toTitleCase(), QChar(char16_t(QChar::toCaseFolded(u)))}) {
            const bool found = QStringView(&c, 1).indexOf(QStringView(&other, 1), 0, Qt::CaseInsensitive) == 0;
            if ((FoldedText(QStringView(&c, 1)) == FoldedText(QStringView(&other, 1))) != found)
                QFAIL(qPrintable(QStringLiteral("U+%1 and U+%2").arg(uint(u), 4, 16).arg(other.unicode(), 4, 16)));
        }
    }
}

void TestRichText::printedPages_data()
{
    QTest::addColumn<QByteArray>("article");
    QTest::addColumn<int>("minimumPages");
    QTest::addColumn<int>("maximumPages");

    QTest::newRow("empty article") << QByteArray() << 1 << 1;
    QTest::newRow("short article") << Rtf("Jeden odstavec.") << 1 << 1;
    QTest::newRow("long article") << Rtf(QStringLiteral("Dlouhý odstavec textu o rostlinách. ").repeated(40).append("\\par ").repeated(30))
                                  << 3 << 60;
}

void TestRichText::printedPages()
{
    QFETCH(QByteArray, article);
    QFETCH(int, minimumPages);
    QFETCH(int, maximumPages);
    QTemporaryDir folder;
    const QString fileName = folder.filePath(QStringLiteral("clanek.pdf"));
    QTextDocument document;
    document.setDefaultFont(ArticleFont());
    LoadArticle(document, article);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    printer.setDocName(QStringLiteral("Orvela"));
    PrintDocument(document, printer);

    const int pages = PdfPageCount(fileName);
    QVERIFY2(pages >= minimumPages && pages <= maximumPages, qPrintable(QString::number(pages)));
    // No margin of our own: the first line starts at the top-left of the printable area, here the whole
    // sheet, its baseline within the first em.
    const QPointF origin = FirstGlyphOrigin(fileName, printer.paperRect(QPrinter::Point).height());
    if (!article.isEmpty())
        QVERIFY2(qAbs(origin.x()) < 0.5 && origin.y() > 0 && origin.y() < ArticleFont().pointSizeF(),
                 qPrintable(QStringLiteral("%1, %2").arg(origin.x()).arg(origin.y())));
}

void TestRichText::printToUnwritableFile()
{
    QTextDocument document;
    LoadArticle(document, Rtf("text"));
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QStringLiteral("/nonexistent-folder/clanek.pdf"));
    QVERIFY_THROWS_EXCEPTION(orvela::FileError, PrintDocument(document, printer));
}

QTEST_MAIN(TestRichText)
#include "test_richtext.moc"
