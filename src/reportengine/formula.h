#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace tabel::report {

// A report's own error: a layout that does not load, a formula that does not parse or names a field
// the query lacks. The message says what, where and why.
class ReportError : public std::runtime_error
{
public:
    explicit ReportError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    QString message() const { return m_message; }

private:
    QString m_message;
};

// A value of the formula language: a number, a text, or nothing (a null field).
struct Value
{
    enum class Type { Null, Number, Text, Bool } type = Type::Null;
    double number = 0;
    QString text;
    bool boolean = false;

    static Value fromVariant(const QVariant &v);
    static Value ofNumber(double d) { return Value{Type::Number, d, {}, false}; }
    static Value ofText(const QString &s) { return Value{Type::Text, 0, s, false}; }
    static Value ofBool(bool b) { return Value{Type::Bool, 0, {}, b}; }
    double toNumber() const;
    QString toText() const; // a number in its plain form: 12.5, 3, 1013
    bool isTrue() const;
};

// What a formula reads while it is evaluated.
class FormulaContext
{
public:
    virtual ~FormulaContext() = default;
    virtual QVariant field(int index) const = 0;
    virtual double aggregate(int id) const = 0;
    virtual int pageNumber() const = 0;
    virtual int totalPages() const = 0;
};

// The formula language of the report layouts: field names (optionally qualified by the query's name),
// numbers, texts in single quotes, + (adds numbers, joins texts), = and >, IF(c, a, b) in any letter
// case, STR(number), sum(x), PAGENUMBER and TOTALPAGES.
class Formula
{
public:
    struct Node;

    Formula();
    ~Formula();
    Formula(Formula &&) noexcept;
    Formula &operator=(Formula &&) noexcept;

    // Parses against the query's fields; every sum() gets an aggregate id from nextAggregate onwards.
    // Throws ReportError naming the formula, the position (from 1) and the reason.
    static Formula parse(const QString &text, const QString &queryName, const QStringList &fields,
                         int *nextAggregate);

    Value evaluate(const FormulaContext &context) const;
    // The arguments of its sums, evaluated on the current record: added to aggregates by id.
    void accumulate(const FormulaContext &context, const std::function<void(int id, double v)> &add) const;

    QString text() const { return m_text; }
    bool usesTotalPages() const { return m_usesTotalPages; }
    bool hasAggregates() const { return !m_sums.empty(); }
    std::vector<int> aggregateIds() const;

private:
    QString m_text;
    std::unique_ptr<Node> m_root;
    std::vector<const Node *> m_sums;
    bool m_usesTotalPages = false;
};

} // namespace tabel::report
