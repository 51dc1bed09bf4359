#include "reportengine/document.h"

#include "reportengine/fonts.h"
#include "reportengine/formula.h"

#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <optional>

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
        for (int i = 0; i < pageCount(); ++i) {
            if (i > 0)
                writer.newPage();
            paint(painter, i);
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
