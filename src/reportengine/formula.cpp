#include "reportengine/formula.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace tabel::report {

// ---- values ----------------------------------------------------------------------------------------

Value Value::fromVariant(const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return Value{};
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
    case QMetaType::ULong:
        return ofNumber(v.toDouble());
    case QMetaType::Bool:
        return ofBool(v.toBool());
    case QMetaType::QDate:
        return ofText(v.toDate().toString(QStringLiteral("dd.MM.yyyy")));
    case QMetaType::QDateTime:
        return ofText(v.toDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
    default:
        return ofText(v.toString());
    }
}

double Value::toNumber() const
{
    switch (type) {
    case Type::Number:
        return number;
    case Type::Bool:
        return boolean ? 1 : 0;
    case Type::Text: {
        bool ok = false;
        const double d = text.trimmed().toDouble(&ok);
        return ok ? d : 0;
    }
    case Type::Null:
        break;
    }
    return 0;
}

QString Value::toText() const
{
    switch (type) {
    case Type::Text:
        return text;
    case Type::Null:
        return QString();
    case Type::Bool:
        return boolean ? QStringLiteral("True") : QStringLiteral("False");
    case Type::Number:
        break;
    }
    if (std::isfinite(number) && std::fabs(number) < 1e15 && number == std::trunc(number))
        return QString::number(qint64(number));
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(number, 'g', 15);
}

bool Value::isTrue() const
{
    switch (type) {
    case Type::Bool:
        return boolean;
    case Type::Number:
        return number != 0;
    case Type::Text:
        return !text.isEmpty();
    case Type::Null:
        break;
    }
    return false;
}

// ---- syntax tree -----------------------------------------------------------------------------------

struct Formula::Node
{
    enum Kind {
        Number,
        Text,
        Field,
        Add,
        Equal,
        Greater,
        If,
        Str,
        Sum,
        PageNumber,
        TotalPages
    } kind = Number;
    double number = 0;
    QString text;
    int index = -1; // field index, or aggregate id
    std::vector<std::unique_ptr<Node>> args;
};

namespace {

using Node = Formula::Node;

struct Token
{
    enum Type { End, Name, Number, Text, Plus, Equal, Greater, LParen, RParen, Comma } type = End;
    QString text;
    double number = 0;
    qsizetype pos = 0;
};

class Parser
{
public:
    Parser(const QString &text, const QString &query, const QStringList &fields, int *nextAggregate,
           std::vector<const Node *> *sums, bool *totalPages)
        : m_text(text), m_query(query), m_fields(fields), m_nextAggregate(nextAggregate), m_sums(sums),
          m_totalPages(totalPages)
    {
        advance();
    }

    // Bounds that keep any layout text from exhausting the stack while it is parsed, evaluated or freed.
    static constexpr qsizetype kMaxLength = 4000;
    static constexpr int kMaxNesting = 100;

    std::unique_ptr<Node> parseAll()
    {
        if (m_text.size() > kMaxLength)
            fail(QStringLiteral("формула длиннее %1 знаков").arg(kMaxLength));
        if (m_tok.type == Token::End)
            fail(QStringLiteral("пустая формула"));
        auto node = parseComparison();
        if (m_tok.type != Token::End)
            fail(QStringLiteral("лишний текст «%1»").arg(m_tok.text));
        return node;
    }

private:
    [[noreturn]] void fail(const QString &reason) const { failAt(m_tok.pos, reason); }
    [[noreturn]] void failAt(qsizetype pos, const QString &reason) const
    {
        throw ReportError(
            QStringLiteral("Формула «%1», позиция %2: %3").arg(m_text, QString::number(pos + 1), reason));
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
                if (i >= n)
                    fail(QStringLiteral("нет закрывающего апострофа"));
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
            return;
        }
        if (c.isDigit() || (c == QLatin1Char('.') && m_pos + 1 < n && m_text.at(m_pos + 1).isDigit())) {
            qsizetype i = m_pos;
            while (i < n && (m_text.at(i).isDigit() || m_text.at(i) == QLatin1Char('.')))
                ++i;
            m_tok.type = Token::Number;
            m_tok.text = m_text.mid(m_pos, i - m_pos);
            bool ok = false;
            m_tok.number = m_tok.text.toDouble(&ok);
            if (!ok)
                fail(QStringLiteral("неверное число «%1»").arg(m_tok.text));
            m_pos = i;
            return;
        }
        if (c.isLetter() || c == QLatin1Char('_')) {
            qsizetype i = m_pos + 1;
            while (i < n && (m_text.at(i).isLetterOrNumber() || m_text.at(i) == QLatin1Char('_') ||
                             m_text.at(i) == QLatin1Char('.')))
                ++i;
            m_tok.type = Token::Name;
            m_tok.text = m_text.mid(m_pos, i - m_pos);
            m_pos = i;
            return;
        }
        m_tok.text = c;
        ++m_pos;
        switch (c.unicode()) {
        case u'+':
            m_tok.type = Token::Plus;
            return;
        case u'=':
            m_tok.type = Token::Equal;
            return;
        case u'>':
            m_tok.type = Token::Greater;
            return;
        case u'(':
            m_tok.type = Token::LParen;
            return;
        case u')':
            m_tok.type = Token::RParen;
            return;
        case u',':
            m_tok.type = Token::Comma;
            return;
        default:
            m_pos = m_tok.pos;
            fail(QStringLiteral("недопустимый знак «%1»").arg(c));
        }
    }

    void expect(Token::Type type, const QString &what)
    {
        if (m_tok.type != type)
            fail(QStringLiteral("ожидается %1").arg(what));
        advance();
    }

    static std::unique_ptr<Node> make(Node::Kind kind)
    {
        auto n = std::make_unique<Node>();
        n->kind = kind;
        return n;
    }

    std::unique_ptr<Node> parseComparison()
    {
        auto left = parseAdditive();
        if (m_tok.type == Token::Equal || m_tok.type == Token::Greater) {
            auto node = make(m_tok.type == Token::Equal ? Node::Equal : Node::Greater);
            advance();
            node->args.push_back(std::move(left));
            node->args.push_back(parseAdditive());
            return node;
        }
        return left;
    }

    std::unique_ptr<Node> parseAdditive()
    {
        auto node = parsePrimary();
        while (m_tok.type == Token::Plus) {
            advance();
            auto add = make(Node::Add);
            add->args.push_back(std::move(node));
            add->args.push_back(parsePrimary());
            node = std::move(add);
        }
        return node;
    }

    std::unique_ptr<Node> parseCall(Node::Kind kind, int arity)
    {
        auto node = make(kind);
        expect(Token::LParen, QStringLiteral("«(»"));
        for (int i = 0; i < arity; ++i) {
            if (i > 0)
                expect(Token::Comma, QStringLiteral("«,»"));
            node->args.push_back(parseComparison());
        }
        expect(Token::RParen, QStringLiteral("«)»"));
        return node;
    }

    std::unique_ptr<Node> parsePrimary()
    {
        struct Depth
        {
            int &d;
            explicit Depth(int &depth) : d(++depth) {}
            ~Depth() { --d; }
        } depth(m_depth);
        if (m_depth > kMaxNesting)
            fail(QStringLiteral("вложенность глубже %1").arg(kMaxNesting));
        const Token tok = m_tok;
        switch (tok.type) {
        case Token::Number: {
            auto n = make(Node::Number);
            n->number = tok.number;
            advance();
            return n;
        }
        case Token::Text: {
            auto n = make(Node::Text);
            n->text = tok.text;
            advance();
            return n;
        }
        case Token::LParen: {
            advance();
            auto n = parseComparison();
            expect(Token::RParen, QStringLiteral("«)»"));
            return n;
        }
        case Token::Name:
            break;
        case Token::End:
            fail(QStringLiteral("формула оборвана"));
        default:
            fail(QStringLiteral("ожидается значение, а не «%1»").arg(tok.text));
        }
        const QString word = tok.text.toUpper();
        advance();
        if (word == QLatin1String("IF"))
            return parseCall(Node::If, 3);
        if (word == QLatin1String("STR"))
            return parseCall(Node::Str, 1);
        if (word == QLatin1String("SUM")) {
            auto n = parseCall(Node::Sum, 1);
            n->index = (*m_nextAggregate)++;
            m_sums->push_back(n.get());
            return n;
        }
        if (word == QLatin1String("PAGENUMBER")) {
            return make(Node::PageNumber);
        }
        if (word == QLatin1String("TOTALPAGES")) {
            *m_totalPages = true;
            return make(Node::TotalPages);
        }
        QString name = tok.text;
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        if (dot >= 0) {
            const QString query = name.left(dot);
            if (query.compare(m_query, Qt::CaseInsensitive) != 0)
                failAt(tok.pos, QStringLiteral("нет запроса «%1»").arg(query));
            name = name.mid(dot + 1);
        }
        for (int i = 0; i < m_fields.size(); ++i) {
            if (m_fields.at(i).compare(name, Qt::CaseInsensitive) == 0) {
                auto n = make(Node::Field);
                n->index = i;
                n->text = name;
                return n;
            }
        }
        failAt(tok.pos, QStringLiteral("в запросе нет поля «%1»").arg(name));
    }

    QString m_text;
    int m_depth = 0;
    QString m_query;
    QStringList m_fields;
    int *m_nextAggregate;
    std::vector<const Node *> *m_sums;
    bool *m_totalPages;
    qsizetype m_pos = 0;
    Token m_tok;
};

bool valuesEqual(const Value &a, const Value &b)
{
    if (a.type == Value::Type::Text || b.type == Value::Type::Text) {
        if (a.type == Value::Type::Text && b.type == Value::Type::Text)
            return a.text == b.text;
        // A number against a text: compare as numbers when the text is one.
        bool ok = false;
        const Value &t = a.type == Value::Type::Text ? a : b;
        const Value &n = a.type == Value::Type::Text ? b : a;
        const double d = t.text.trimmed().toDouble(&ok);
        return ok ? d == n.toNumber() : t.text == n.toText();
    }
    return a.toNumber() == b.toNumber();
}

Value eval(const Node &n, const FormulaContext &ctx)
{
    switch (n.kind) {
    case Node::Number:
        return Value::ofNumber(n.number);
    case Node::Text:
        return Value::ofText(n.text);
    case Node::Field:
        return Value::fromVariant(ctx.field(n.index));
    case Node::Add: {
        const Value a = eval(*n.args[0], ctx);
        const Value b = eval(*n.args[1], ctx);
        if (a.type == Value::Type::Text || b.type == Value::Type::Text)
            return Value::ofText(a.toText() + b.toText());
        return Value::ofNumber(a.toNumber() + b.toNumber());
    }
    case Node::Equal:
        return Value::ofBool(valuesEqual(eval(*n.args[0], ctx), eval(*n.args[1], ctx)));
    case Node::Greater: {
        const Value a = eval(*n.args[0], ctx);
        const Value b = eval(*n.args[1], ctx);
        if (a.type == Value::Type::Text && b.type == Value::Type::Text)
            return Value::ofBool(a.text > b.text);
        return Value::ofBool(a.toNumber() > b.toNumber());
    }
    case Node::If:
        return eval(*n.args[0], ctx).isTrue() ? eval(*n.args[1], ctx) : eval(*n.args[2], ctx);
    case Node::Str:
        return Value::ofText(eval(*n.args[0], ctx).toText());
    case Node::Sum:
        return Value::ofNumber(ctx.aggregate(n.index));
    case Node::PageNumber:
        return Value::ofNumber(ctx.pageNumber());
    case Node::TotalPages:
        return Value::ofNumber(ctx.totalPages());
    }
    return Value{};
}

} // namespace

Formula::Formula() = default;
Formula::~Formula() = default;
Formula::Formula(Formula &&) noexcept = default;
Formula &Formula::operator=(Formula &&) noexcept = default;

Formula Formula::parse(const QString &text, const QString &queryName, const QStringList &fields,
                       int *nextAggregate)
{
    Formula f;
    f.m_text = text;
    int localNext = 0;
    Parser parser(text, queryName, fields, nextAggregate ? nextAggregate : &localNext, &f.m_sums,
                  &f.m_usesTotalPages);
    f.m_root = parser.parseAll();
    return f;
}

Value Formula::evaluate(const FormulaContext &context) const
{
    return m_root ? eval(*m_root, context) : Value{};
}

void Formula::accumulate(const FormulaContext &context, const std::function<void(int, double)> &add) const
{
    for (const Node *sum : m_sums)
        add(sum->index, eval(*sum->args[0], context).toNumber());
}

std::vector<int> Formula::aggregateIds() const
{
    std::vector<int> ids;
    for (const Node *sum : m_sums)
        ids.push_back(sum->index);
    return ids;
}

} // namespace tabel::report
