#include "reportengine/report.h"

#include "reportengine/fonts.h"
#include "reportengine/formula.h"
#include "reportengine/mask.h"

#include <QHash>

#include <memory>

namespace tabel::report {

Report::Report(Layout layout) : m_layout(std::move(layout)) {}

bool Report::setLabel(const QString &itemName, const QString &text)
{
    Item *item = m_layout.item(itemName);
    if (!item || item->kind != Item::Kind::Label)
        return false;
    item->text = text;
    return true;
}

namespace {

struct CompiledItem
{
    const Item *item = nullptr;
    int field = -1;                   // field items
    std::shared_ptr<Formula> formula; // expressions and page numbers
    int font = -1;
    int name = -1;
};

struct CompiledBand
{
    const Band *band = nullptr;
    std::vector<CompiledItem> items;
    std::vector<int> children; // indexes of child bands, in order
    int linked = -1;
    std::vector<int> resetIds; // aggregates to zero after this band has printed
};

struct Group
{
    int header = -1;
    int footer = -1;
    std::shared_ptr<Formula> expression; // null: no expression
    bool open = false;
    Value key;
};

bool sameKey(const Value &a, const Value &b)
{
    if (a.type != b.type)
        return false;
    switch (a.type) {
    case Value::Type::Number:
        return a.number == b.number;
    case Value::Type::Text:
        return a.text == b.text;
    case Value::Type::Bool:
        return a.boolean == b.boolean;
    case Value::Type::Null:
        break;
    }
    return true;
}

// A text that needs the page count: its formula's inputs are kept until pagination is done.
struct Deferred
{
    size_t page;
    size_t op;
    std::shared_ptr<Formula> formula;
    QString mask;
    std::vector<QVariant> fields;
    std::vector<double> aggregates;
    int pageNumber;
};

class Engine : public FormulaContext
{
public:
    Engine(const Layout &layout, ReportData &data, const Report::FirstPage &firstPage)
        : m_layout(layout), m_data(data), m_firstPage(firstPage)
    {
    }

    Document run()
    {
        compile();
        m_doc.page = m_layout.page;
        m_values.assign(size_t(m_fields.size()), QVariant());
        m_previous = m_values;
        startPage();
        for (int t : m_titles)
            emitBand(t, m_values);

        m_data.first();
        if (m_data.eof()) {
            // No rows: the heading and the grand total still print.
            for (Group &g : m_groups) {
                if (!g.expression) {
                    emitBand(g.header, m_values);
                    g.open = true;
                }
            }
        } else {
            bool firstRow = true;
            while (!m_data.eof()) {
                for (int i = 0; i < m_fields.size(); ++i)
                    m_values[size_t(i)] = m_data.value(i);
                m_current = &m_values;
                std::vector<Value> keys(m_groups.size());
                for (size_t g = 0; g < m_groups.size(); ++g)
                    if (m_groups[g].expression)
                        keys[g] = m_groups[g].expression->evaluate(*this);
                size_t breakAt = m_groups.size();
                if (firstRow) {
                    breakAt = 0;
                } else {
                    for (size_t g = 0; g < m_groups.size(); ++g) {
                        if (m_groups[g].expression && !sameKey(keys[g], m_groups[g].key)) {
                            breakAt = g;
                            break;
                        }
                    }
                    // Footers of the groups that end, innermost first, with the last row of the group.
                    for (size_t g = m_groups.size(); g-- > breakAt;)
                        if (m_groups[g].expression)
                            closeGroup(g, m_previous);
                }
                for (size_t g = breakAt; g < m_groups.size(); ++g) {
                    if (m_groups[g].expression || firstRow) {
                        m_groups[g].key = keys[g];
                        emitBand(m_groups[g].header, m_values);
                        m_groups[g].open = true;
                    }
                }
                firstRow = false;
                accumulate();
                if (m_detail >= 0)
                    emitBand(m_detail, m_values);
                m_previous = m_values;
                m_data.next();
            }
        }
        for (size_t g = m_groups.size(); g-- > 0;)
            if (m_groups[g].open)
                closeGroup(g, m_previous);
        finishPage();
        resolveDeferred();
        std::vector<qint32>().swap(m_textSlots);
        m_doc.strings.shrink_to_fit();
        return std::move(m_doc);
    }

    // FormulaContext
    QVariant field(int index) const override { return m_current ? m_current->at(size_t(index)) : QVariant(); }
    double aggregate(int id) const override { return m_aggregates[size_t(id)]; }
    int pageNumber() const override { return m_pageNumber; }
    int totalPages() const override { return m_totalPages; }

private:
    void compile()
    {
        m_fields = m_data.fieldNames();
        const int n = int(m_layout.bands.size());
        m_bands.resize(size_t(n));
        for (int b = 0; b < n; ++b) {
            const Band &band = m_layout.bands.at(b);
            CompiledBand &cb = m_bands[size_t(b)];
            cb.band = &band;
            for (const Item &item : band.items) {
                CompiledItem ci;
                ci.item = &item;
                ci.font = m_doc.fontIndex(item.font);
                ci.name = m_doc.itemIndex(item.name);
                const QString where = QStringLiteral("Полоса «%1», элемент «%2»").arg(band.name, item.name);
                if (item.kind == Item::Kind::Field) {
                    QString name = item.field;
                    const qsizetype dot = name.indexOf(QLatin1Char('.'));
                    if (dot >= 0)
                        name = name.mid(dot + 1);
                    for (int f = 0; f < m_fields.size(); ++f)
                        if (m_fields.at(f).compare(name, Qt::CaseInsensitive) == 0)
                            ci.field = f;
                    if (ci.field < 0)
                        throw ReportError(QStringLiteral("%1: в запросе «%2» нет поля «%3»")
                                              .arg(where, m_data.name(), item.field));
                } else if (item.kind == Item::Kind::Expression || item.kind == Item::Kind::PageNumber) {
                    ci.formula = std::make_shared<Formula>(
                        Formula::parse(item.formula, m_data.name(), m_fields, &m_aggregateCount));
                    if (item.reset)
                        for (int id : ci.formula->aggregateIds())
                            cb.resetIds.push_back(id);
                    if (ci.formula->hasAggregates())
                        m_summing.push_back(ci.formula);
                }
                cb.items.push_back(std::move(ci));
            }
            switch (band.kind) {
            case Band::Kind::Title:
                m_titles.push_back(b);
                break;
            case Band::Kind::Detail:
                m_detail = b;
                break;
            case Band::Kind::PageFooter:
                m_pageFooters.push_back(b);
                m_footerHeight += band.height;
                break;
            case Band::Kind::GroupHeader: {
                Group g;
                g.header = b;
                if (!band.expression.trimmed().isEmpty())
                    g.expression = std::make_shared<Formula>(
                        Formula::parse(band.expression, m_data.name(), m_fields, &m_aggregateCount));
                m_groups.push_back(g);
                break;
            }
            default:
                break;
            }
        }
        for (int b = 0; b < n; ++b) {
            const Band &band = m_layout.bands.at(b);
            if (band.kind == Band::Kind::Child)
                m_bands[size_t(indexOf(band.parent))].children.push_back(b);
            if (band.kind == Band::Kind::GroupFooter)
                for (Group &g : m_groups)
                    if (m_layout.bands.at(g.header).name == band.group)
                        g.footer = b;
            if (!band.linkedTo.isEmpty())
                m_bands[size_t(b)].linked = indexOf(band.linkedTo);
        }
        m_aggregates.assign(size_t(m_aggregateCount), 0.0);
    }

    int indexOf(const QString &name) const
    {
        for (int b = 0; b < m_layout.bands.size(); ++b)
            if (m_layout.bands.at(b).name == name)
                return b;
        return -1;
    }

    double heightWithChildren(int b) const
    {
        double h = m_bands[size_t(b)].band->height;
        for (int c : m_bands[size_t(b)].children)
            h += heightWithChildren(c);
        return h;
    }

    void accumulate()
    {
        for (const auto &f : m_summing)
            f->accumulate(*this, [this](int id, double v) { m_aggregates[size_t(id)] += v; });
    }

    void closeGroup(size_t g, const std::vector<QVariant> &row)
    {
        if (m_groups[g].footer >= 0)
            emitBand(m_groups[g].footer, row);
        m_groups[g].open = false;
    }

    void startPage()
    {
        m_doc.pages.emplace_back();
        ++m_pageNumber;
        m_y = m_layout.page.marginTop;
        m_pageHasContent = false;
    }

    void finishPage()
    {
        double y = m_layout.page.height - m_layout.page.marginBottom - m_footerHeight;
        for (int f : m_pageFooters) {
            draw(f, y, *m_current);
            y += m_bands[size_t(f)].band->height;
        }
        // A finished page keeps only what it draws.
        m_doc.pages.back().ops.shrink_to_fit();
    }

    void newPage()
    {
        finishPage();
        if (m_doc.pages.size() == 1 && m_firstPage)
            m_firstPage(firstPageAlone());
        startPage();
        // Headings marked so are repeated at the top of the new page.
        m_repeating = true;
        for (const Group &g : m_groups) {
            if (g.open && m_bands[size_t(g.header)].band->repeat)
                emitBand(g.header, *m_current);
        }
        m_repeating = false;
        m_pageHasContent = false;
    }

    double bottom() const { return m_layout.page.height - m_layout.page.marginBottom - m_footerHeight; }

    void emitBand(int b, const std::vector<QVariant> &row)
    {
        const CompiledBand &cb = m_bands[size_t(b)];
        double need = heightWithChildren(b);
        if (cb.linked >= 0)
            need += m_bands[size_t(cb.linked)].band->height;
        if (!m_repeating && m_pageHasContent && m_y + need > bottom() + 1e-6)
            newPage();
        const std::vector<QVariant> *saved = m_current;
        m_current = &row;
        draw(b, m_y, row);
        m_y += cb.band->height;
        if (cb.band->height > 0 && !m_repeating)
            m_pageHasContent = true;
        for (int id : cb.resetIds)
            m_aggregates[size_t(id)] = 0;
        m_current = saved;
        for (int c : cb.children)
            emitBand(c, row);
    }

    static DrawOp placed(DrawOp::Kind kind, double x, double y, double w, double h, const QColor &colour)
    {
        DrawOp op;
        op.kind = kind;
        op.x = float(x);
        op.y = float(y);
        op.w = float(w);
        op.h = float(h);
        op.colour = colour.rgba();
        return op;
    }

    void line(float x, float y, float w, float h, const Rules &r)
    {
        DrawOp op = placed(DrawOp::Kind::Line, x, y, w, h, r.colour);
        op.style = quint8(r.style);
        op.penWidth = float(r.width);
        page().ops.push_back(std::move(op));
    }

    void rules(double x, double y, double w, double h, const Rules &r)
    {
        if (r.top)
            line(float(x), float(y), float(w), 0, r);
        if (r.bottom)
            line(float(x), float(y + h), float(w), 0, r);
        if (r.left)
            line(float(x), float(y), 0, float(h), r);
        if (r.right)
            line(float(x + w), float(y), 0, float(h), r);
    }

    Page &page() { return m_doc.pages.back(); }

    // A text kept once however often the pages show it (names, kinds, labels repeat on every page),
    // found again through a small table by the text's hash: it stays in the processor's cache however
    // long the report, so preparing stays linear; a rare text that is pushed out is kept twice.
    qint32 textIndex(QString text)
    {
        const size_t hash = qHash(text);
        qint32 &slot = m_textSlots[hash & (kTextSlots - 1)];
        if (slot >= 0 && m_doc.strings[size_t(slot)] == text)
            return slot;
        slot = qint32(m_doc.strings.size());
        m_doc.strings.push_back(std::move(text));
        return slot;
    }

    QString itemText(const CompiledItem &ci, const std::vector<QVariant> &row, Value *raw)
    {
        const Item &item = *ci.item;
        switch (item.kind) {
        case Item::Kind::Label:
            return item.text;
        case Item::Kind::Field:
            *raw = Value::fromVariant(row[size_t(ci.field)]);
            break;
        case Item::Kind::Expression:
        case Item::Kind::PageNumber:
            *raw = ci.formula->evaluate(*this);
            break;
        }
        if (!item.mask.isEmpty() && raw->type != Value::Type::Null &&
            (raw->type != Value::Type::Text || !raw->text.trimmed().isEmpty()))
            return formatNumber(raw->toNumber(), item.mask);
        return raw->toText();
    }

    void draw(int b, double y, const std::vector<QVariant> &row)
    {
        const CompiledBand &cb = m_bands[size_t(b)];
        const Band &band = *cb.band;
        if (band.height <= 0)
            return;
        const double x0 = m_layout.page.marginLeft;
        const double width = m_layout.page.printableWidth();
        if (band.background.isValid())
            page().ops.push_back(placed(DrawOp::Kind::Fill, x0, y, width, band.height, band.background));
        for (const CompiledItem &ci : cb.items) {
            const Item &item = *ci.item;
            Value raw;
            QString text = itemText(ci, row, &raw);
            double w = item.width > 0 ? item.width : textWidth(item.font, text) + 0.4;
            w = std::min(w, width - item.left);
            const double top = item.top >= 0 ? item.top : 0;
            const double h = item.height > 0 ? item.height : band.height - top;
            const double x = x0 + item.left;
            if (item.background.isValid())
                page().ops.push_back(placed(DrawOp::Kind::Fill, x, y + top, w, h, item.background));
            DrawOp op = placed(DrawOp::Kind::Text, x, y + top, w, h, item.colour);
            op.font = qint16(ci.font);
            op.align = quint8(item.alignment & Qt::AlignHorizontal_Mask);
            op.item = qint16(ci.name);
            op.text = textIndex(std::move(text));
            page().ops.push_back(std::move(op));
            if (ci.formula && ci.formula->usesTotalPages()) {
                Deferred d;
                d.page = m_doc.pages.size() - 1;
                d.op = page().ops.size() - 1;
                d.formula = ci.formula;
                d.mask = item.mask;
                d.fields = row;
                d.aggregates = m_aggregates;
                d.pageNumber = m_pageNumber;
                m_deferred.push_back(std::move(d));
            }
            if (item.rules.any())
                rules(x, y + top, w, h, item.rules);
        }
        if (band.frame.any())
            rules(x0, y, width, band.height, band.frame);
    }

    // Page 1 as it will print, but for the page count, not known yet.
    Document firstPageAlone()
    {
        Document d;
        d.page = m_doc.page;
        d.fonts = m_doc.fonts;
        d.itemNames = m_doc.itemNames;
        d.strings = m_doc.strings;
        d.pages.push_back(m_doc.pages.front());
        // An unlikely count, replaced in the text by the ellipsis.
        constexpr int unknown = 987654321;
        m_totalPages = unknown;
        for (Deferred &deferred : m_deferred) {
            if (deferred.page != 0)
                continue;
            QString text = deferredText(deferred);
            if (!deferred.mask.isEmpty())
                text.replace(formatNumber(unknown, deferred.mask), QStringLiteral("…"));
            text.replace(QString::number(unknown), QStringLiteral("…"));
            d.pages[0].ops[deferred.op].text = qint32(d.strings.size());
            d.strings.push_back(text);
        }
        m_totalPages = 0;
        return d;
    }

    QString deferredText(Deferred &d)
    {
        const std::vector<QVariant> *saved = m_current;
        const int savedNumber = m_pageNumber;
        m_current = &d.fields;
        std::swap(m_aggregates, d.aggregates);
        m_pageNumber = d.pageNumber;
        const Value v = d.formula->evaluate(*this);
        std::swap(m_aggregates, d.aggregates);
        m_current = saved;
        m_pageNumber = savedNumber;
        return !d.mask.isEmpty() && v.type != Value::Type::Text ? formatNumber(v.toNumber(), d.mask)
                                                                : v.toText();
    }

    void resolveDeferred()
    {
        m_totalPages = int(m_doc.pages.size());
        for (Deferred &d : m_deferred)
            m_doc.pages[d.page].ops[d.op].text = textIndex(deferredText(d));
        m_deferred.clear();
    }

    const Layout &m_layout;
    ReportData &m_data;
    const Report::FirstPage &m_firstPage;
    Document m_doc;
    QStringList m_fields;
    std::vector<CompiledBand> m_bands;
    std::vector<Group> m_groups;
    std::vector<int> m_titles, m_pageFooters;
    int m_detail = -1;
    double m_footerHeight = 0;
    std::vector<std::shared_ptr<Formula>> m_summing;
    int m_aggregateCount = 0;
    std::vector<double> m_aggregates;
    std::vector<QVariant> m_values, m_previous;
    const std::vector<QVariant> *m_current = &m_values;
    std::vector<Deferred> m_deferred;
    static constexpr size_t kTextSlots = 1 << 14;
    std::vector<qint32> m_textSlots = std::vector<qint32>(kTextSlots, -1); // while preparing only
    double m_y = 0;
    int m_pageNumber = 0;
    int m_totalPages = 0;
    bool m_pageHasContent = false;
    bool m_repeating = false;
};

} // namespace

Document Report::prepare(ReportData &data, const FirstPage &firstPage) const
{
    Engine engine(m_layout, data, firstPage);
    return engine.run();
}

} // namespace tabel::report
