#include "reportengine/document.h"

#include "reportengine/fonts.h"
#include "reportengine/formula.h"

#include <QFile>
#include <QGlyphRun>
#include <QHash>
#include <QPageLayout>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextLayout>

#include <cmath>
#include <optional>
#include <unordered_map>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>

namespace tabel::report {

int Document::fontIndex(const FontSpec &spec)
{
    for (size_t i = 0; i < fonts.size(); ++i) {
        const FontSpec &f = fonts[i];
        if (f.family == spec.family && f.size == spec.size && f.bold == spec.bold && f.italic == spec.italic)
            return int(i);
    }
    fonts.push_back(spec);
    return int(fonts.size() - 1);
}

int Document::itemIndex(const QString &name)
{
    for (size_t i = 0; i < itemNames.size(); ++i)
        if (itemNames[i] == name)
            return int(i);
    itemNames.push_back(name);
    return int(itemNames.size() - 1);
}

namespace {
// Where the painter starts each piece of a text in a box: a device of the target's resolution that
// only notes the points its texts are drawn from.
class TextProbe : public QPaintDevice
{
public:
    explicit TextProbe(const QPaintDevice *target)
        : m_dpiX(target->logicalDpiX()), m_dpiY(target->logicalDpiY())
    {
    }
    ~TextProbe() override = default;
    QPaintEngine *paintEngine() const override { return &m_engine; }
    std::vector<QPointF> &points() { return m_engine.points; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
        case PdmHeight:
        case PdmWidthMM:
        case PdmHeightMM:
            return 1 << 20;
        case PdmDpiX:
        case PdmPhysicalDpiX:
            return m_dpiX;
        case PdmDpiY:
        case PdmPhysicalDpiY:
            return m_dpiY;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return INT_MAX;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    class Engine : public QPaintEngine
    {
    public:
        Engine() : QPaintEngine(AllFeatures) {}
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &) override {}
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
        void drawTextItem(const QPointF &p, const QTextItem &) override { points.push_back(p); }
        Type type() const override { return User; }
        std::vector<QPointF> points;
    };
    int m_dpiX, m_dpiY;
    mutable Engine m_engine;
};

// The painter places a text at whole 64ths of a device unit, cutting off the rest.
double toFixed(double v)
{
    return std::trunc(v * 64) / 64;
}
} // namespace

// Texts shaped once per document: a report repeats the same names, kinds and figures in boxes of the
// same size page after page, and shaping them again is most of the time of writing a PDF. A text seen
// a second time is shaped and put where the painter would put it in its box; one the painter, asked
// once, places otherwise (tabs, breaks, scripts it splits differently) stays with the painter.
struct Document::ShapedTexts
{
    struct Shaped
    {
        bool tried = false;
        QPointF offset;        // of the line's top left in the box, before the painter's rounding
        QSizeF size;           // of the line
        QList<QGlyphRun> runs; // positions from the line's top left; none: the painter draws it
    };

    // Null when the painter is to draw the text itself.
    const Shaped *find(const DrawOp &op, const QString &text, const QFont &font, QSizeF box,
                       QPaintDevice *device)
    {
        const Key key{op.text, op.font, op.align, op.w, op.h};
        auto it = m_shaped.find(key);
        if (it == m_shaped.end()) {
            if (m_shaped.size() < kLimit)
                m_shaped.emplace(key, Shaped());
            return nullptr;
        }
        Shaped &s = it->second;
        if (!s.tried)
            s = shape(text, font, int(op.align), box, device);
        return s.runs.isEmpty() ? nullptr : &s;
    }

private:
    static constexpr size_t kLimit = 1 << 17;
    struct Key
    {
        qint32 text;
        qint16 font;
        quint8 align;
        float w, h;
        bool operator==(const Key &) const = default;
    };
    struct KeyHash
    {
        size_t operator()(const Key &k) const noexcept
        {
            return qHashMulti(0, k.text, k.font, k.align, k.w, k.h);
        }
    };

    static Shaped shape(const QString &text, const QFont &font, int align, QSizeF box, QPaintDevice *device)
    {
        Shaped s;
        s.tried = true;
        const bool plain = std::none_of(text.cbegin(), text.cend(), [](QChar c) {
            return c.unicode() < 0x20 || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
        });
        if (text.isEmpty() || !plain)
            return s;
        QTextLayout layout(text, font, device);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        line.setPosition(QPointF(0, 0));
        layout.endLayout();
        if (layout.lineCount() != 1 || line.textLength() != text.size())
            return s;
        s.size = QSizeF(line.naturalTextWidth(), line.ascent() + line.descent());
        if (align & Qt::AlignRight)
            s.offset.setX(box.width() - s.size.width());
        else if (align & Qt::AlignHCenter)
            s.offset.setX((box.width() - s.size.width()) / 2);
        s.offset.setY((box.height() - s.size.height()) / 2);
        const QList<QGlyphRun> runs = layout.glyphRuns();
        // The painter's own placing of it in a box at the origin must be where this one puts it.
        TextProbe probe(device);
        {
            QPainter p(&probe);
            p.setFont(font);
            p.drawText(QRectF(QPointF(0, 0), box), align | Qt::AlignVCenter | Qt::TextSingleLine, text);
        }
        const std::vector<QPointF> &points = probe.points();
        if (runs.isEmpty() || points.size() != size_t(runs.size()))
            return s;
        const QPointF at(toFixed(s.offset.x()), toFixed(s.offset.y()));
        for (qsizetype i = 0; i < runs.size(); ++i)
            if (runs[i].positions().isEmpty() || points[size_t(i)] != at + runs[i].positions().first())
                return s;
        s.runs = runs;
        return s;
    }

    std::unordered_map<Key, Shaped, KeyHash> m_shaped;
};

const QString &Document::text(const DrawOp &op) const
{
    static const QString none;
    return op.text >= 0 && size_t(op.text) < strings.size() ? strings[size_t(op.text)] : none;
}

void Document::append(Document &&other)
{
    if (pages.empty() && fonts.empty() && itemNames.empty()) {
        *this = std::move(other);
        return;
    }
    std::vector<qint16> fontMap, itemMap;
    fontMap.reserve(other.fonts.size());
    for (const FontSpec &f : other.fonts)
        fontMap.push_back(qint16(fontIndex(f)));
    itemMap.reserve(other.itemNames.size());
    for (const QString &name : other.itemNames)
        itemMap.push_back(qint16(itemIndex(name)));
    const qint32 textBase = qint32(strings.size());
    strings.insert(strings.end(), std::make_move_iterator(other.strings.begin()),
                   std::make_move_iterator(other.strings.end()));
    pages.reserve(pages.size() + other.pages.size());
    for (Page &p : other.pages) {
        for (DrawOp &op : p.ops) {
            if (op.text >= 0)
                op.text += textBase;
            if (op.font >= 0 && size_t(op.font) < fontMap.size())
                op.font = fontMap[size_t(op.font)];
            if (op.item >= 0 && size_t(op.item) < itemMap.size())
                op.item = itemMap[size_t(op.item)];
        }
        pages.push_back(std::move(p));
    }
    other.pages.clear();
}

void Document::paint(QPainter &painter, int pageIndex) const
{
    paint(painter, pageIndex, nullptr);
}

void Document::paint(QPainter &painter, int pageIndex, ShapedTexts *shapedTexts) const
{
    if (pageIndex < 0 || pageIndex >= pageCount())
        return;
    const double sx = painter.device()->logicalDpiX() / 25.4;
    const double sy = painter.device()->logicalDpiY() / 25.4;
    auto toDevice = [&](const DrawOp &op) { return QRectF(op.x * sx, op.y * sy, op.w * sx, op.h * sy); };
    std::vector<QFont> qfonts;
    qfonts.reserve(fonts.size());
    for (const FontSpec &f : fonts)
        qfonts.push_back(makeFont(f));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    // Font and pen are set only when they change: the painter resolves each change again, and a
    // page sets the same few hundreds of times.
    qint16 font = -1;
    struct PenKey
    {
        bool line;
        QRgb colour;
        quint8 style;
        float width;
        bool operator==(const PenKey &) const = default;
    };
    std::optional<PenKey> pen;
    auto usePen = [&](const PenKey &key) {
        if (pen == key)
            return;
        pen = key;
        if (!key.line) {
            painter.setPen(QColor::fromRgba(key.colour));
            return;
        }
        QPen linePen(QColor::fromRgba(key.colour));
        linePen.setStyle(Qt::PenStyle(key.style));
        linePen.setWidthF(std::max(1.0, key.width * sx));
        linePen.setCapStyle(Qt::FlatCap);
        painter.setPen(linePen);
    };
    for (const DrawOp &op : pages[size_t(pageIndex)].ops) {
        switch (op.kind) {
        case DrawOp::Kind::Fill:
            painter.fillRect(toDevice(op), QColor::fromRgba(op.colour));
            break;
        case DrawOp::Kind::Line:
            usePen({true, op.colour, op.style, op.penWidth});
            painter.drawLine(QPointF(op.x * sx, op.y * sy), QPointF((op.x + op.w) * sx, (op.y + op.h) * sy));
            break;
        case DrawOp::Kind::Text:
            if (op.font >= 0 && size_t(op.font) < qfonts.size() && op.font != font) {
                painter.setFont(qfonts[size_t(op.font)]);
                font = op.font;
            }
            usePen({false, op.colour, 0, 0});
            if (shapedTexts && op.font == font) {
                const QRectF box = toDevice(op);
                const ShapedTexts::Shaped *shaped =
                    shapedTexts->find(op, text(op), qfonts[size_t(op.font)], box.size(), painter.device());
                // A text that leaves its box is clipped by the painter: that one it draws itself.
                if (shaped && box.contains(QRectF(box.topLeft() + shaped->offset, shaped->size))) {
                    const QPointF at(toFixed(box.x() + shaped->offset.x()),
                                     toFixed(box.y() + shaped->offset.y()));
                    for (const QGlyphRun &run : shaped->runs)
                        painter.drawGlyphRun(at, run);
                    break;
                }
            }
            painter.drawText(toDevice(op), int(op.align) | Qt::AlignVCenter | Qt::TextSingleLine, text(op));
            break;
        }
    }
    painter.restore();
}

QImage Document::render(int pageIndex, double dpi) const
{
    const QSize size(qRound(page.width / 25.4 * dpi), qRound(page.height / 25.4 * dpi));
    QImage image(size, QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    image.fill(Qt::white);
    QPainter painter(&image);
    paint(painter, pageIndex);
    return image;
}

QPageLayout Document::pageLayout() const
{
    return QPageLayout(QPageSize(QPageSize::A4),
                       page.landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                       QPageLayout::Millimeter);
}

void Document::writePdf(const QString &path, const QString &title) const
{
#ifdef __GLIBC__
    // Each page's content is built in a growing buffer, compressed and freed again. With the
    // allocator's defaults those buffers are mapped and unmapped, or the heap trimmed, page after
    // page, and the faults cost a third of the writing: keep freed memory for the next page.
    static const bool tuned = [] {
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 64 << 20);
        return true;
    }();
    Q_UNUSED(tuned);
#endif
    // Written beside the target and put in its place when whole: a reader never finds half a report,
    // and a failure leaves what was there before.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw ReportError(QStringLiteral("Файл «%1» не записывается: %2").arg(path, file.errorString()));
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(pageLayout());
        writer.setResolution(600);
        writer.setCreator(QStringLiteral("Табель"));
        writer.setTitle(title);
        QPainter painter;
        if (!painter.begin(&writer))
            throw ReportError(QStringLiteral("Файл «%1» не записывается").arg(path));
        ShapedTexts shaped;
        for (int i = 0; i < pageCount(); ++i) {
            if (i > 0)
                writer.newPage();
            paint(painter, i, &shaped);
        }
        painter.end();
    }
    if (!file.commit())
        throw ReportError(QStringLiteral("Файл «%1» не записывается: %2").arg(path, file.errorString()));
}

QStringList Document::texts(int pageIndex) const
{
    QStringList out;
    if (pageIndex < 0 || pageIndex >= pageCount())
        return out;
    std::vector<const DrawOp *> ops;
    for (const DrawOp &op : pages[size_t(pageIndex)].ops)
        if (op.kind == DrawOp::Kind::Text)
            ops.push_back(&op);
    std::stable_sort(ops.begin(), ops.end(), [](const DrawOp *a, const DrawOp *b) {
        if (std::abs(a->y - b->y) > 0.01f)
            return a->y < b->y;
        return a->x < b->x;
    });
    for (const DrawOp *op : ops)
        out << text(*op);
    return out;
}

std::vector<const DrawOp *> Document::opsOf(int pageIndex, const QString &itemName) const
{
    std::vector<const DrawOp *> out;
    if (pageIndex < 0 || pageIndex >= pageCount())
        return out;
    const auto it = std::find(itemNames.begin(), itemNames.end(), itemName);
    if (it == itemNames.end())
        return out;
    const qint16 index = qint16(it - itemNames.begin());
    for (const DrawOp &op : pages[size_t(pageIndex)].ops)
        if (op.item == index)
            out.push_back(&op);
    return out;
}

QStringList Document::itemTexts(const QString &itemName) const
{
    QStringList out;
    for (int p = 0; p < pageCount(); ++p)
        for (const DrawOp *op : opsOf(p, itemName))
            if (op->kind == DrawOp::Kind::Text)
                out << text(*op);
    return out;
}

} // namespace tabel::report
