#pragma once

#include <QColor>
#include <QJsonObject>
#include <QString>
#include <QVector>

namespace tabel::report {

// A band report's layout, as data. Positions and sizes are millimetres, from the left margin for
// items; fonts are resolved at load (page font, then the band's, then the item's).

struct FontSpec
{
    QString family = QStringLiteral("Arial");
    double size = 10;
    bool bold = false;
    bool italic = false;
};

// Rules along the edges of a band or an item.
struct Rules
{
    bool left = false, top = false, right = false, bottom = false;
    Qt::PenStyle style = Qt::SolidLine;
    QColor colour = Qt::black;
    double width = 0.2; // mm
    bool any() const { return left || top || right || bottom; }
};

struct Item
{
    enum class Kind { Label, Field, Expression, PageNumber };
    Kind kind = Kind::Label;
    QString name;
    double left = 0;
    double top = -1;   // -1: centred in the band's height
    double width = 0;  // 0: as wide as its text
    double height = 0; // 0: the band's height (less the top)
    QString text;      // label
    QString field;     // data field
    QString formula;   // expression (page number items: empty, or a formula with PAGENUMBER)
    FontSpec font;
    Qt::Alignment alignment = Qt::AlignLeft;
    QColor colour = Qt::black;
    QColor background; // invalid: transparent
    QString mask;
    Rules rules;
    bool reset = false; // its totals go back to 0 after the band has printed
};

struct Band
{
    enum class Kind { Title, GroupHeader, Child, Detail, GroupFooter, PageFooter };
    Kind kind = Kind::Detail;
    QString name;
    double height = 0;
    QColor background;
    Rules frame;
    QVector<Item> items;
    QString expression;  // group header: breaks when its value changes; empty: once for the whole report
    bool repeat = false; // group header: printed again at the top of every new page
    QString linkedTo;    // prints only where the page has room for this band and the linked one
    QString parent;      // child band: the band it follows
    QString group;       // group footer: the group header it closes
};

struct PageSetup
{
    double width = 210, height = 297; // A4 portrait, mm
    bool landscape = false;
    double marginLeft = 10, marginTop = 10, marginRight = 10, marginBottom = 10;
    FontSpec font;
    double printableWidth() const { return width - marginLeft - marginRight; }
    double printableHeight() const { return height - marginTop - marginBottom; }
};

struct Layout
{
    QString name;
    QString query;
    PageSetup page;
    QVector<Band> bands;

    const Band *band(const QString &name) const;
    Band *band(const QString &name);
    Item *item(const QString &name); // any band's item by name (e.g. the title label)

    // Loads a layout from JSON text (a file or a Qt resource); throws ReportError with a clear message
    // for anything that would not print as written.
    static Layout fromJson(const QByteArray &json, const QString &source);
    static Layout fromFile(const QString &path);
    void validate(const QString &source) const;
};

} // namespace tabel::report
