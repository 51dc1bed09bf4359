#include "data/filterexpression.h"

#include "data/dataerror.h"

#include <QDate>
#include <QDateTime>

namespace tabel {

struct FilterExpression::Node
{
    enum Kind { Or, And, Not, Compare, IsNull, IsNotNull } kind = Compare;
    QString op;
    int column = -1;
    QVariant literal;
    std::unique_ptr<Node> left, right;
};

namespace {

struct Token
{
    enum Type { End, Name, Text, Number, Op, LParen, RParen } type = End;
    QString text;
    qsizetype pos = 0;
};

class Parser
{
public:
    // Bounds that keep any typed text from exhausting the stack while it is parsed, matched or freed.
    static constexpr qsizetype kMaxLength = 4000;
    static constexpr int kMaxNesting = 100;

    Parser(const QString &text, const QStringList &fields) : m_text(text), m_fields(fields) { advance(); }

    std::unique_ptr<FilterExpression::Node> parseAll()
    {
        if (m_text.size() > kMaxLength)
            fail(QStringLiteral("выражение длиннее %1 знаков").arg(kMaxLength));
        auto node = parseOr();
        if (m_tok.type != Token::End)
            fail(QStringLiteral("лишний текст «%1»").arg(m_tok.text));
        return node;
    }

private:
    [[noreturn]] void fail(const QString &reason) const
    {
        // One pass: a "%1" in the typed text must stay as typed.
        throw DataError(QStringLiteral("Ошибка в фильтре «%1», позиция %2: %3")
                            .arg(m_text, QString::number(m_tok.pos + 1), reason));
    }

    bool isKeyword(const char *word) const
    {
        return m_tok.type == Token::Name && m_tok.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }

    void advance()
    {
        const qsizetype n = m_text.size();
        while (m_pos < n && m_text.at(m_pos).isSpace())
            ++m_pos;
        m_tok = Token();
        m_tok.pos = m_pos;
        if (m_pos >= n)
            return;
        const QChar c = m_text.at(m_pos);
        if (c == QLatin1Char('\'')) {
            QString s;
            qsizetype i = m_pos + 1;
            for (;;) {
                if (i >= n) {
                    m_tok.type = Token::Text;
                    fail(QStringLiteral("нет закрывающего апострофа"));
                }
                if (m_text.at(i) == QLatin1Char('\'')) {
                    if (i + 1 < n && m_text.at(i + 1) == QLatin1Char('\'')) {
                        s += QLatin1Char('\'');
                        i += 2;
                        continue;
                    }
                    break;
                }
                s += m_text.at(i++);
            }
            m_tok.type = Token::Text;
            m_tok.text = s;
            m_pos = i + 1;
        } else if (c.isDigit() || ((c == QLatin1Char('-') || c == QLatin1Char('.')) && m_pos + 1 < n &&
                                   m_text.at(m_pos + 1).isDigit())) {
            qsizetype i = m_pos + 1;
            while (i < n && (m_text.at(i).isDigit() || m_text.at(i) == QLatin1Char('.')))
                ++i;
            m_tok.type = Token::Number;
            m_tok.text = m_text.mid(m_pos, i - m_pos);
            m_pos = i;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            qsizetype i = m_pos + 1;
            while (i < n && (m_text.at(i).isLetterOrNumber() || m_text.at(i) == QLatin1Char('_') ||
                             m_text.at(i) == QLatin1Char('.')))
                ++i;
            m_tok.type = Token::Name;
            m_tok.text = m_text.mid(m_pos, i - m_pos);
            m_pos = i;
        } else if (c == QLatin1Char('(')) {
            m_tok.type = Token::LParen;
            m_tok.text = c;
            ++m_pos;
        } else if (c == QLatin1Char(')')) {
            m_tok.type = Token::RParen;
            m_tok.text = c;
            ++m_pos;
        } else {
            static const char *ops[] = {"<>", "!=", "<=", ">=", "=", "<", ">"};
            for (const char *op : ops) {
                if (QStringView(m_text).mid(m_pos).startsWith(QLatin1String(op))) {
                    m_tok.type = Token::Op;
                    m_tok.text = QLatin1String(op);
                    m_pos += qstrlen(op);
                    return;
                }
            }
            m_tok.type = Token::Op;
            m_tok.text = c;
            fail(QStringLiteral("недопустимый знак «%1»").arg(c));
        }
    }

    std::unique_ptr<FilterExpression::Node> binary(FilterExpression::Node::Kind kind,
                                                   std::unique_ptr<FilterExpression::Node> l,
                                                   std::unique_ptr<FilterExpression::Node> r)
    {
        auto node = std::make_unique<FilterExpression::Node>();
        node->kind = kind;
        node->left = std::move(l);
        node->right = std::move(r);
        return node;
    }

    std::unique_ptr<FilterExpression::Node> parseOr()
    {
        auto node = parseAnd();
        while (isKeyword("or")) {
            advance();
            node = binary(FilterExpression::Node::Or, std::move(node), parseAnd());
        }
        return node;
    }

    std::unique_ptr<FilterExpression::Node> parseAnd()
    {
        auto node = parseNot();
        while (isKeyword("and")) {
            advance();
            node = binary(FilterExpression::Node::And, std::move(node), parseNot());
        }
        return node;
    }

    std::unique_ptr<FilterExpression::Node> parseNot()
    {
        struct Depth
        {
            int &d;
            explicit Depth(int &depth) : d(++depth) {}
            ~Depth() { --d; }
        } depth(m_depth);
        if (m_depth > kMaxNesting)
            fail(QStringLiteral("вложенность глубже %1").arg(kMaxNesting));
        if (isKeyword("not")) {
            advance();
            return binary(FilterExpression::Node::Not, parseNot(), nullptr);
        }
        if (m_tok.type == Token::LParen) {
            advance();
            auto node = parseOr();
            if (m_tok.type != Token::RParen)
                fail(QStringLiteral("ожидается «)»"));
            advance();
            return node;
        }
        return parseCondition();
    }

    std::unique_ptr<FilterExpression::Node> parseCondition()
    {
        if (m_tok.type != Token::Name)
            fail(QStringLiteral("ожидается имя поля"));
        auto node = std::make_unique<FilterExpression::Node>();
        QString field = m_tok.text;
        const qsizetype dot = field.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0)
            field = field.mid(dot + 1);
        for (int i = 0; i < m_fields.size(); ++i) {
            if (m_fields.at(i).compare(field, Qt::CaseInsensitive) == 0) {
                node->column = i;
                break;
            }
        }
        if (node->column < 0)
            fail(QStringLiteral("нет поля «%1»").arg(m_tok.text));
        advance();
        if (isKeyword("is")) {
            advance();
            node->kind = FilterExpression::Node::IsNull;
            if (isKeyword("not")) {
                node->kind = FilterExpression::Node::IsNotNull;
                advance();
            }
            if (!isKeyword("null"))
                fail(QStringLiteral("ожидается null"));
            advance();
            return node;
        }
        if (isKeyword("like")) {
            node->op = QStringLiteral("like");
        } else if (m_tok.type == Token::Op) {
            node->op = m_tok.text == QLatin1String("!=") ? QStringLiteral("<>") : m_tok.text;
        } else {
            fail(QStringLiteral("ожидается знак сравнения"));
        }
        advance();
        if (m_tok.type == Token::Text) {
            node->literal = m_tok.text;
        } else if (m_tok.type == Token::Number) {
            bool ok = false;
            const double d = m_tok.text.toDouble(&ok);
            if (!ok)
                fail(QStringLiteral("неверное число «%1»").arg(m_tok.text));
            node->literal = d;
        } else {
            fail(QStringLiteral("ожидается значение"));
        }
        advance();
        return node;
    }

    QString m_text;
    int m_depth = 0;
    QStringList m_fields;
    qsizetype m_pos = 0;
    Token m_tok;
};

bool isNumeric(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
        return true;
    default:
        return false;
    }
}

QString asText(const QVariant &v)
{
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    return v.toString();
}

int compareValues(const QVariant &value, const QVariant &literal, bool *comparable)
{
    *comparable = true;
    if (literal.typeId() == QMetaType::Double) {
        bool ok = isNumeric(value);
        double d = ok ? value.toDouble() : value.toString().trimmed().toDouble(&ok);
        if (!ok) {
            *comparable = false;
            return 0;
        }
        const double l = literal.toDouble();
        return d < l ? -1 : (d > l ? 1 : 0);
    }
    if (isNumeric(value)) {
        bool ok = false;
        const double l = literal.toString().trimmed().toDouble(&ok);
        if (ok) {
            const double d = value.toDouble();
            return d < l ? -1 : (d > l ? 1 : 0);
        }
    }
    if (value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime) {
        const QDate l = QDate::fromString(literal.toString(), QStringLiteral("dd.MM.yyyy"));
        if (l.isValid()) {
            const QDate d = value.toDate();
            return d < l ? -1 : (d > l ? 1 : 0);
        }
    }
    return asText(value).compare(literal.toString());
}

bool evaluate(const FilterExpression::Node &node, const FilterExpression::ValueAt &valueAt)
{
    using N = FilterExpression::Node;
    switch (node.kind) {
    case N::Or:
        return evaluate(*node.left, valueAt) || evaluate(*node.right, valueAt);
    case N::And:
        return evaluate(*node.left, valueAt) && evaluate(*node.right, valueAt);
    case N::Not:
        return !evaluate(*node.left, valueAt);
    case N::IsNull:
        return valueAt(node.column).isNull();
    case N::IsNotNull:
        return !valueAt(node.column).isNull();
    case N::Compare:
        break;
    }
    const QVariant value = valueAt(node.column);
    if (value.isNull())
        return false;
    if (node.op == QLatin1String("like"))
        return likeMatch(asText(value), node.literal.toString());
    bool comparable = true;
    const int c = compareValues(value, node.literal, &comparable);
    if (!comparable)
        return node.op == QLatin1String("<>");
    if (node.op == QLatin1String("="))
        return c == 0;
    if (node.op == QLatin1String("<>"))
        return c != 0;
    if (node.op == QLatin1String("<"))
        return c < 0;
    if (node.op == QLatin1String(">"))
        return c > 0;
    if (node.op == QLatin1String("<="))
        return c <= 0;
    return c >= 0;
}

// Greedy wildcard match with one back-track point: linear in practice, whatever the pattern.
bool likeFrom(QStringView t, QStringView p)
{
    qsizetype i = 0, j = 0, star = -1, mark = 0;
    while (i < t.size()) {
        if (j < p.size() && p.at(j) != QLatin1Char('%') &&
            (p.at(j) == QLatin1Char('_') || p.at(j) == t.at(i))) {
            ++i;
            ++j;
        } else if (j < p.size() && p.at(j) == QLatin1Char('%')) {
            star = j++;
            mark = i;
        } else if (star >= 0) {
            j = star + 1;
            i = ++mark;
        } else {
            return false;
        }
    }
    while (j < p.size() && p.at(j) == QLatin1Char('%'))
        ++j;
    return j == p.size();
}

} // namespace

FilterExpression::FilterExpression() = default;
FilterExpression::~FilterExpression() = default;
FilterExpression::FilterExpression(FilterExpression &&) noexcept = default;
FilterExpression &FilterExpression::operator=(FilterExpression &&) noexcept = default;

FilterExpression FilterExpression::parse(const QString &text, const QStringList &fieldNames)
{
    FilterExpression f;
    if (text.trimmed().isEmpty())
        return f;
    Parser parser(text, fieldNames);
    f.m_root = parser.parseAll();
    return f;
}

bool FilterExpression::matches(const ValueAt &valueAt) const
{
    return !m_root || evaluate(*m_root, valueAt);
}

bool likeMatch(const QString &text, const QString &pattern)
{
    const QString t = text.toCaseFolded();
    const QString p = pattern.toCaseFolded();
    return likeFrom(t, p);
}

} // namespace tabel
