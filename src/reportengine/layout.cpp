#include "reportengine/layout.h"

#include "reportengine/formula.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace tabel::report {

namespace {

[[noreturn]] void fail(const QString &source, const QString &where, const QString &reason)
{
    throw ReportError(QStringLiteral("Макет «%1»%2: %3")
                          .arg(source, where.isEmpty() ? QString() : QStringLiteral(", ") + where, reason));
}

QColor colourOf(const QJsonValue &v, const QString &source, const QString &where)
{
    if (v.isUndefined() || v.isNull())
        return QColor();
    const QColor c = QColor::fromString(v.toString());
    if (!c.isValid())
        fail(source, where, QStringLiteral("неверный цвет «%1»").arg(v.toString()));
    return c;
}

FontSpec fontOf(const QJsonValue &v, FontSpec base)
{
    if (!v.isObject())
        return base;
    const QJsonObject o = v.toObject();
    if (o.contains(QLatin1String("family")))
        base.family = o.value(QLatin1String("family")).toString();
    if (o.contains(QLatin1String("size")))
        base.size = o.value(QLatin1String("size")).toDouble();
    if (o.contains(QLatin1String("bold")))
        base.bold = o.value(QLatin1String("bold")).toBool();
    if (o.contains(QLatin1String("italic")))
        base.italic = o.value(QLatin1String("italic")).toBool();
    return base;
}

Rules rulesOf(const QJsonValue &v, const QString &source, const QString &where)
{
    Rules r;
    if (!v.isObject())
        return r;
    const QJsonObject o = v.toObject();
    const bool all = o.value(QLatin1String("all")).toBool();
    r.left = all || o.value(QLatin1String("left")).toBool();
    r.top = all || o.value(QLatin1String("top")).toBool();
    r.right = all || o.value(QLatin1String("right")).toBool();
    r.bottom = all || o.value(QLatin1String("bottom")).toBool();
    const QString style = o.value(QLatin1String("style")).toString(QStringLiteral("solid"));
    if (style == QLatin1String("solid"))
        r.style = Qt::SolidLine;
    else if (style == QLatin1String("dot"))
        r.style = Qt::DotLine;
    else if (style == QLatin1String("dash"))
        r.style = Qt::DashLine;
    else
        fail(source, where, QStringLiteral("неизвестный вид линии «%1» (solid, dot, dash)").arg(style));
    if (o.contains(QLatin1String("colour")))
        r.colour = colourOf(o.value(QLatin1String("colour")), source, where);
    r.width = o.value(QLatin1String("width")).toDouble(0.2);
    return r;
}

Qt::Alignment alignmentOf(const QString &s, const QString &source, const QString &where)
{
    if (s.isEmpty() || s == QLatin1String("left"))
        return Qt::AlignLeft;
    if (s == QLatin1String("center") || s == QLatin1String("centre"))
        return Qt::AlignHCenter;
    if (s == QLatin1String("right"))
        return Qt::AlignRight;
    fail(source, where, QStringLiteral("неизвестное выравнивание «%1» (left, center, right)").arg(s));
}

Item itemOf(const QJsonObject &o, const FontSpec &bandFont, const QString &source, const QString &where)
{
    Item it;
    const QString kind = o.value(QLatin1String("kind")).toString();
    if (kind == QLatin1String("label"))
        it.kind = Item::Kind::Label;
    else if (kind == QLatin1String("field"))
        it.kind = Item::Kind::Field;
    else if (kind == QLatin1String("expression"))
        it.kind = Item::Kind::Expression;
    else if (kind == QLatin1String("pageNumber"))
        it.kind = Item::Kind::PageNumber;
    else
        fail(
            source, where,
            QStringLiteral("неизвестный вид элемента «%1» (label, field, expression, pageNumber)").arg(kind));
    it.name = o.value(QLatin1String("name")).toString();
    it.left = o.value(QLatin1String("left")).toDouble();
    it.top = o.value(QLatin1String("top")).toDouble(-1);
    it.width = o.value(QLatin1String("width")).toDouble(0);
    it.height = o.value(QLatin1String("height")).toDouble(0);
    it.text = o.value(QLatin1String("text")).toString();
    it.field = o.value(QLatin1String("field")).toString();
    it.formula = o.value(QLatin1String("formula")).toString();
    it.font = fontOf(o.value(QLatin1String("font")), bandFont);
    it.alignment = alignmentOf(o.value(QLatin1String("align")).toString(), source, where);
    if (o.contains(QLatin1String("colour")))
        it.colour = colourOf(o.value(QLatin1String("colour")), source, where);
    it.background = colourOf(o.value(QLatin1String("background")), source, where);
    it.mask = o.value(QLatin1String("mask")).toString();
    it.rules = rulesOf(o.value(QLatin1String("rules")), source, where);
    it.reset = o.value(QLatin1String("reset")).toBool();
    if (it.kind == Item::Kind::Field && it.field.isEmpty())
        fail(source, where, QStringLiteral("у поля не указано имя поля (field)"));
    if (it.kind == Item::Kind::Expression && it.formula.trimmed().isEmpty())
        fail(source, where, QStringLiteral("у выражения не указана формула (formula)"));
    if (it.kind == Item::Kind::PageNumber && it.formula.isEmpty())
        it.formula = QStringLiteral("PAGENUMBER");
    for (QChar c : std::as_const(it.mask)) {
        if (c != QLatin1Char('#') && c != QLatin1Char('0') && c != QLatin1Char('.') && c != QLatin1Char(','))
            fail(source, where, QStringLiteral("неверная маска «%1» (например #0.00)").arg(it.mask));
    }
    return it;
}

} // namespace

const Band *Layout::band(const QString &name) const
{
    for (const Band &b : bands)
        if (b.name == name)
            return &b;
    return nullptr;
}

Band *Layout::band(const QString &name)
{
    for (Band &b : bands)
        if (b.name == name)
            return &b;
    return nullptr;
}

Item *Layout::item(const QString &name)
{
    for (Band &b : bands)
        for (Item &i : b.items)
            if (i.name == name)
                return &i;
    return nullptr;
}

Layout Layout::fromJson(const QByteArray &json, const QString &source)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        fail(source, QStringLiteral("символ %1").arg(error.offset + 1), error.errorString());
    if (!doc.isObject())
        fail(source, QString(), QStringLiteral("ожидается объект JSON"));
    const QJsonObject root = doc.object();
    Layout l;
    l.name = root.value(QLatin1String("name")).toString(source);
    l.query = root.value(QLatin1String("query")).toString();
    const QJsonObject page = root.value(QLatin1String("page")).toObject();
    const QString size = page.value(QLatin1String("size")).toString(QStringLiteral("A4"));
    if (size != QLatin1String("A4"))
        fail(source, QStringLiteral("страница"), QStringLiteral("неизвестный формат «%1» (A4)").arg(size));
    const QString orientation = page.value(QLatin1String("orientation")).toString(QStringLiteral("portrait"));
    if (orientation == QLatin1String("landscape")) {
        l.page.landscape = true;
        std::swap(l.page.width, l.page.height);
    } else if (orientation != QLatin1String("portrait")) {
        fail(source, QStringLiteral("страница"),
             QStringLiteral("неизвестная ориентация «%1» (portrait, landscape)").arg(orientation));
    }
    const QJsonObject margins = page.value(QLatin1String("margins")).toObject();
    l.page.marginLeft = margins.value(QLatin1String("left")).toDouble(10);
    l.page.marginTop = margins.value(QLatin1String("top")).toDouble(10);
    l.page.marginRight = margins.value(QLatin1String("right")).toDouble(10);
    l.page.marginBottom = margins.value(QLatin1String("bottom")).toDouble(10);
    l.page.font = fontOf(page.value(QLatin1String("font")), FontSpec());

    const QJsonArray bands = root.value(QLatin1String("bands")).toArray();
    int n = 0;
    for (const QJsonValue &bv : bands) {
        ++n;
        const QJsonObject o = bv.toObject();
        Band b;
        b.name = o.value(QLatin1String("name")).toString(QStringLiteral("band%1").arg(n));
        const QString where = QStringLiteral("полоса %1 «%2»").arg(n).arg(b.name);
        const QString kind = o.value(QLatin1String("kind")).toString();
        static const QList<QPair<QString, Band::Kind>> kinds = {
            {QStringLiteral("title"), Band::Kind::Title},
            {QStringLiteral("groupHeader"), Band::Kind::GroupHeader},
            {QStringLiteral("child"), Band::Kind::Child},
            {QStringLiteral("detail"), Band::Kind::Detail},
            {QStringLiteral("groupFooter"), Band::Kind::GroupFooter},
            {QStringLiteral("pageFooter"), Band::Kind::PageFooter}};
        bool known = false;
        for (const auto &k : kinds) {
            if (k.first == kind) {
                b.kind = k.second;
                known = true;
            }
        }
        if (!known)
            fail(
                source, where,
                QStringLiteral(
                    "неизвестный вид полосы «%1» (title, groupHeader, child, detail, groupFooter, pageFooter)")
                    .arg(kind));
        b.height = o.value(QLatin1String("height")).toDouble();
        b.background = colourOf(o.value(QLatin1String("background")), source, where);
        b.frame = rulesOf(o.value(QLatin1String("frame")), source, where);
        b.expression = o.value(QLatin1String("expression")).toString();
        b.repeat = o.value(QLatin1String("repeat")).toBool();
        b.linkedTo = o.value(QLatin1String("linkedTo")).toString();
        b.parent = o.value(QLatin1String("parent")).toString();
        b.group = o.value(QLatin1String("group")).toString();
        const FontSpec bandFont = fontOf(o.value(QLatin1String("font")), l.page.font);
        const QJsonArray items = o.value(QLatin1String("items")).toArray();
        int m = 0;
        for (const QJsonValue &iv : items) {
            ++m;
            b.items << itemOf(iv.toObject(), bandFont, source, where + QStringLiteral(", элемент %1").arg(m));
        }
        l.bands << b;
    }
    l.validate(source);
    return l;
}

Layout Layout::fromFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw ReportError(QStringLiteral("Макет «%1» не открывается: %2").arg(path, f.errorString()));
    return fromJson(f.readAll(), path);
}

void Layout::validate(const QString &source) const
{
    const double width = page.printableWidth();
    double footerHeight = 0;
    int details = 0;
    for (const Band &b : bands) {
        if (b.kind == Band::Kind::PageFooter)
            footerHeight += b.height;
        if (b.kind == Band::Kind::Detail)
            ++details;
    }
    if (details > 1)
        fail(source, QString(), QStringLiteral("полоса данных (detail) может быть только одна"));
    for (int n = 0; n < bands.size(); ++n) {
        const Band &b = bands.at(n);
        const QString where = QStringLiteral("полоса %1 «%2»").arg(n + 1).arg(b.name);
        for (int m = n + 1; m < bands.size(); ++m)
            if (bands.at(m).name == b.name)
                fail(source, where, QStringLiteral("имя полосы повторяется"));
        if (b.height < 0)
            fail(source, where, QStringLiteral("отрицательная высота"));
        const double room =
            b.kind == Band::Kind::PageFooter ? page.printableHeight() : page.printableHeight() - footerHeight;
        if (b.height > room + 1e-6)
            fail(source, where,
                 QStringLiteral("высота %1 мм больше страницы (доступно %2 мм)").arg(b.height).arg(room));
        for (int m = 0; m < b.items.size(); ++m) {
            const Item &it = b.items.at(m);
            const QString iw =
                where + QStringLiteral(", элемент %1%2")
                            .arg(m + 1)
                            .arg(it.name.isEmpty() ? QString() : QStringLiteral(" «%1»").arg(it.name));
            if (it.left < 0 || it.left >= width)
                fail(source, iw, QStringLiteral("начинается за шириной печати (%1 мм)").arg(width));
            if (it.left + it.width > width + 0.05)
                fail(source, iw,
                     QStringLiteral("выходит за ширину печати: %1 + %2 мм при ширине %3 мм")
                         .arg(it.left)
                         .arg(it.width)
                         .arg(width));
        }
        switch (b.kind) {
        case Band::Kind::Child:
            if (!band(b.parent) || b.parent == b.name)
                fail(source, where, QStringLiteral("нет полосы-родителя «%1»").arg(b.parent));
            break;
        case Band::Kind::GroupFooter: {
            const Band *g = band(b.group);
            if (!g || g->kind != Band::Kind::GroupHeader)
                fail(source, where, QStringLiteral("нет заголовка группы «%1»").arg(b.group));
            break;
        }
        default:
            break;
        }
        if (!b.linkedTo.isEmpty()) {
            const Band *linked = band(b.linkedTo);
            if (!linked || linked == &b)
                fail(source, where, QStringLiteral("нет связанной полосы «%1»").arg(b.linkedTo));
            if (b.height + linked->height > page.printableHeight() - footerHeight + 1e-6)
                fail(source, where, QStringLiteral("вместе со связанной полосой не помещается на страницу"));
        }
    }
}

} // namespace tabel::report
