#include "platform/dataset/FilterExpression.h"

#include "platform/dataset/PacketContent.h"
#include "platform/errors/Errors.h"

namespace orvela::packet {
namespace {

/// Reads the text left to right; every failure names what was expected where.
class Parser {
  public:
    Parser(const QString &text, const QString &dataSetName) : text_(text), dataSetName_(dataSetName) {}

    bool AtEnd() const { return position_ >= text_.size(); }

    /// Returns whether any blank was skipped.
    bool SkipBlanks() {
        const qsizetype start = position_;
        while (!AtEnd() && text_[position_].isSpace())
            ++position_;
        return position_ > start;
    }

    QString Take(bool (*belongs)(QChar)) {
        const qsizetype start = position_;
        while (!AtEnd() && belongs(text_[position_]))
            ++position_;
        return text_.mid(start, position_ - start);
    }

    bool TakeCharacter(QChar c) {
        if (AtEnd() || text_[position_] != c)
            return false;
        ++position_;
        return true;
    }

    [[noreturn]] void Fail(const QString &reason) const {
        throw DataSetError(QStringLiteral("%1: Invalid filter \"%2\": %3 at position %4")
                               .arg(dataSetName_, text_, reason)
                               .arg(position_ + 1));
    }

    [[noreturn]] void Fail(const char *reason) const { Fail(QString::fromLatin1(reason)); }

    const QString &DataSetName() const { return dataSetName_; }

  private:
    const QString &text_;
    const QString &dataSetName_;
    qsizetype position_ = 0;
};

bool IsNameCharacter(QChar c) {
    return !c.isSpace() && c != u'=' && c != u'>' && c != u'<' && c != u'(' && c != u')' && c != u'\'';
}

bool IsLetter(QChar c) {
    return c.isLetter();
}

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

FilterExpression FilterExpression::Parse(const QString &text, const Content &content, const QString &dataSetName) {
    FilterExpression expression;
    Parser parser(text, dataSetName);
    parser.SkipBlanks();
    if (parser.AtEnd())
        return expression; // no condition: every record is visible
    for (;;) {
        const QString name = parser.Take(IsNameCharacter);
        if (name.isEmpty())
            parser.Fail("a field name is expected");
        parser.SkipBlanks();
        Comparison comparison{};
        if (parser.TakeCharacter(u'>'))
            comparison.greater = true;
        else if (!parser.TakeCharacter(u'='))
            parser.Fail("\"=\" or \">\" is expected");
        parser.SkipBlanks();

        bool keyword = false;
        if (const QString word = parser.Take(IsLetter); !word.isEmpty()) {
            keyword = true;
            if (word.compare(u"true", Qt::CaseInsensitive) == 0)
                comparison.value = 1;
            else if (word.compare(u"false", Qt::CaseInsensitive) != 0)
                parser.Fail(QStringLiteral("\"%1\" is neither true, false nor a number").arg(word));
        } else {
            const QString digits = parser.Take(IsDigit);
            bool ok = false;
            comparison.value = digits.toLongLong(&ok);
            if (digits.isEmpty())
                parser.Fail("true, false or a number is expected");
            if (!ok)
                parser.Fail("the number is too large");
        }

        comparison.column = content.FindColumn(name);
        if (comparison.column < 0)
            throw DataSetError(QStringLiteral("%1: Field '%2' not found").arg(dataSetName, name));
        const FieldType type = content.columns[comparison.column].type;
        // Booleans compare with true and false (or 1 and 0); integers only with numbers.
        if (!(type == FieldType::Boolean || (type == FieldType::Integer && !keyword)))
            throw DataSetError(
                QStringLiteral("%1: Type mismatch in filter \"%2\" for field '%3'").arg(dataSetName, text, name));
        expression.comparisons_.push_back(comparison);

        const bool blank = parser.SkipBlanks();
        if (parser.AtEnd())
            return expression;
        if (!blank || parser.Take(IsLetter).compare(u"and", Qt::CaseInsensitive) != 0 || !parser.SkipBlanks())
            parser.Fail("\" and \" is expected");
    }
}

bool FilterExpression::Holds(const Content &content, int record) const {
    for (const Comparison &comparison : comparisons_) {
        const Column &column = content.columns[comparison.column];
        qint64 value;
        if (column.type == FieldType::Boolean) {
            value = column.flags[record];
            if (value < 0)
                return false;
        } else {
            if (!column.raw[record] || !column.numberValid[record])
                return false;
            value = column.numbers[record];
        }
        if (comparison.greater ? value <= comparison.value : value != comparison.value)
            return false;
    }
    return true;
}

} // namespace orvela::packet
