#pragma once

#include <QString>
#include <vector>

namespace orvela::packet {

struct Content;

/// A filter text: comparisons "Field=value" or "Field>value" joined by "and"; the value is "true",
/// "false" or an unsigned decimal number. Keywords and field names in any case.
class FilterExpression final {
  public:
    FilterExpression() = default;
    /// Throws DataSetError ("<dataSetName>: ...") for an unknown field or a malformed text.
    static FilterExpression Parse(const QString &text, const Content &content, const QString &dataSetName);

    /// A comparison on a field without a value does not hold.
    bool Holds(const Content &content, int record) const;

  private:
    struct Comparison {
        int column;
        bool greater;
        qint64 value;
    };
    std::vector<Comparison> comparisons_;
};

} // namespace orvela::packet
