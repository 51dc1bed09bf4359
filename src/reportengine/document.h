#pragma once

#include "reportengine/layout.h"

#include <QImage>
#include <QPageLayout>
#include <QRectF>
#include <QString>

#include <vector>

class QPainter;

namespace tabel::report {

// One drawing operation of a finished page, in millimetres from the page's top-left corner. Kept
// small: a report holds hundreds of them a page, its texts once each in the document.
struct DrawOp
{
    enum class Kind : quint8 { Text, Fill, Line };
    Kind kind = Kind::Text;
    quint8 align = 0;                     // Qt::Alignment, horizontal part
    quint8 style = quint8(Qt::SolidLine); // Qt::PenStyle of a line
    qint16 font = -1;                     // index into the document's fonts
    qint16 item = -1;                 // index into the document's item names: the layout item that made it
    float x = 0, y = 0, w = 0, h = 0; // a line runs from (x, y) to (x + w, y + h)
    float penWidth = 0.2f;
    QRgb colour = 0xff000000;
    qint32 text = -1; // index into the document's texts
    QRectF rect() const { return QRectF(x, y, w, h); }
    Qt::PenStyle penStyle() const { return Qt::PenStyle(style); }
};

struct Page
{
    std::vector<DrawOp> ops;
};

// A prepared report: finished pages that paint the same way on the preview, the printer and a PDF.
class Document
{
public:
    PageSetup page;
    std::vector<FontSpec> fonts;
    std::vector<QString> itemNames;
    std::vector<QString> strings; // every text the pages show, each once
    std::vector<Page> pages;

    // The text a text operation shows.
    const QString &text(const DrawOp &op) const;

    int pageCount() const { return int(pages.size()); }
    int fontIndex(const FontSpec &spec);
    int itemIndex(const QString &name);
    // Adds another document's pages after these (same page setup), its fonts and item names merged:
    // reports prepared one per person print as one.
    void append(Document &&other);

    // Paints a page with the painter's device resolution.
    void paint(QPainter &painter, int pageIndex) const;
    QImage render(int pageIndex, double dpi) const;
    // Throws ReportError when the file cannot be written.
    void writePdf(const QString &path, const QString &title = QString()) const;
    QPageLayout pageLayout() const;

    // The texts of a page in reading order, for tests.
    QStringList texts(int pageIndex) const;
    std::vector<const DrawOp *> opsOf(int pageIndex, const QString &itemName) const;
    // The texts one layout item printed, over all pages in order, for tests.
    QStringList itemTexts(const QString &itemName) const;

private:
    struct ShapedTexts;
    void paint(QPainter &painter, int pageIndex, ShapedTexts *shapedTexts) const;
};

} // namespace tabel::report
