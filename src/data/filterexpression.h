#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

namespace tabel {

// A client-side filter over fetched rows, as a list window sets it: "fio like 'З%'", "o_id=42",
// "naimen=0". Conditions compare a field with a literal (=, <>, !=, <, >, <=, >=, like, is [not] null)
// and combine with and, or, not and parentheses. Texts are quoted with ', a doubled '' inside.
// "like" takes % and _ as wildcards and ignores letter case, as a search box is expected to; "=" on
// texts is exact. A field that the rows lack, or text that does not parse, is a DataError.
class FilterExpression
{
public:
    struct Node;
    using ValueAt = std::function<QVariant(int column)>;

    FilterExpression();
    ~FilterExpression();
    FilterExpression(FilterExpression &&) noexcept;
    FilterExpression &operator=(FilterExpression &&) noexcept;

    static FilterExpression parse(const QString &text, const QStringList &fieldNames);
    bool matches(const ValueAt &valueAt) const;
    bool isEmpty() const { return !m_root; }

private:
    std::unique_ptr<Node> m_root;
};

// "like" matching with % and _, without regard to letter case.
bool likeMatch(const QString &text, const QString &pattern);

} // namespace tabel
