#include "reportengine/formula.h"
#include "reportengine/layout.h"

#include <QTest>

using namespace tabel::report;

namespace {
QByteArray withBands(const QString &bands, const QString &page = QStringLiteral(R"({"size": "A4"})"))
{
    return QStringLiteral(R"({"query": "q", "page": %1, "bands": [%2]})").arg(page, bands).toUtf8();
}
} // namespace

class TestLayout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void loadsWhatItSays()
    {
        const Layout l = Layout::fromJson(
            withBands(
                QStringLiteral(
                    R"({"kind": "groupHeader", "name": "h", "height": 6.6, "repeat": true, "background": "#f4f4f4",
                                         "frame": {"top": true, "bottom": true, "style": "dot", "colour": "#808080"},
                                         "font": {"size": 9},
                                         "items": [{"kind": "label", "name": "L", "left": 81.2, "width": 5.3, "text": "1",
                                                    "align": "center", "font": {"bold": true}, "rules": {"left": true, "right": true, "style": "dot"}}]},
                                        {"kind": "detail", "name": "d", "height": 6.3, "linkedTo": "h"})"),
                QStringLiteral(
                    R"({"orientation": "landscape", "margins": {"left": 10, "top": 10, "right": 10, "bottom": 10},
                                         "font": {"family": "Arial", "size": 10}})")),
            QStringLiteral("t"));
        QVERIFY(l.page.landscape);
        QCOMPARE(l.page.printableWidth(), 277.0);
        QCOMPARE(l.bands.size(), 2);
        const Band &h = l.bands.at(0);
        QVERIFY(h.repeat);
        QCOMPARE(h.background, QColor(244, 244, 244));
        QVERIFY(h.frame.top && h.frame.bottom && !h.frame.left);
        QCOMPARE(h.frame.style, Qt::DotLine);
        const Item &i = h.items.at(0);
        QCOMPARE(i.font.family, QStringLiteral("Arial")); // page font
        QCOMPARE(i.font.size, 9.0);                       // band font
        QVERIFY(i.font.bold);                             // item font
        QCOMPARE(i.alignment, Qt::AlignHCenter);
        QVERIFY(i.rules.left && i.rules.right);
        QCOMPARE(l.bands.at(1).linkedTo, QStringLiteral("h"));
    }

    void rejected_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("reason");
        QTest::newRow("not JSON") << QByteArray("{\"bands\": [") << QStringLiteral("символ");
        QTest::newRow("unknown band kind") << withBands(QStringLiteral(R"({"kind": "summary", "height": 5})"))
                                           << QStringLiteral("неизвестный вид полосы «summary»");
        QTest::newRow("item beyond the printable width")
            << withBands(QStringLiteral(
                   R"({"kind": "detail", "height": 5, "items": [{"kind": "label", "left": 180, "width": 20.5, "text": "x"}]})"))
            << QStringLiteral("выходит за ширину печати: 180 + 20.5 мм при ширине 190 мм");
        QTest::newRow("item starting beyond the width")
            << withBands(QStringLiteral(
                   R"({"kind": "detail", "height": 5, "items": [{"kind": "label", "left": 195, "text": "x"}]})"))
            << QStringLiteral("начинается за шириной печати");
        QTest::newRow("band taller than the page")
            << withBands(QStringLiteral(
                   R"({"kind": "detail", "height": 280}, {"kind": "pageFooter", "height": 4.2})"))
            << QStringLiteral("высота 280 мм больше страницы (доступно 272.8 мм)");
        QTest::newRow("child without parent")
            << withBands(
                   QStringLiteral(R"({"kind": "child", "name": "c", "parent": "nothing", "height": 1})"))
            << QStringLiteral("нет полосы-родителя «nothing»");
        QTest::newRow("footer without header")
            << withBands(QStringLiteral(R"({"kind": "groupFooter", "name": "f", "group": "g", "height": 1})"))
            << QStringLiteral("нет заголовка группы «g»");
        QTest::newRow("link to nothing")
            << withBands(QStringLiteral(R"({"kind": "detail", "height": 1, "linkedTo": "x"})"))
            << QStringLiteral("нет связанной полосы «x»");
        QTest::newRow("unknown item kind")
            << withBands(QStringLiteral(R"({"kind": "detail", "height": 5, "items": [{"kind": "image"}]})"))
            << QStringLiteral("неизвестный вид элемента «image»");
        QTest::newRow("field item without field")
            << withBands(QStringLiteral(
                   R"({"kind": "detail", "height": 5, "items": [{"kind": "field", "left": 1}]})"))
            << QStringLiteral("у поля не указано имя поля");
        QTest::newRow("bad mask")
            << withBands(QStringLiteral(
                   R"({"kind": "detail", "height": 5, "items": [{"kind": "field", "field": "a", "mask": "0.0%"}]})"))
            << QStringLiteral("неверная маска «0.0%»");
        QTest::newRow("bad colour") << withBands(QStringLiteral(
                                           R"({"kind": "detail", "height": 5, "background": "reddish"})"))
                                    << QStringLiteral("неверный цвет «reddish»");
        QTest::newRow("two details")
            << withBands(QStringLiteral(
                   R"({"kind": "detail", "name": "a", "height": 5}, {"kind": "detail", "name": "b", "height": 5})"))
            << QStringLiteral("только одна");
        QTest::newRow("unknown page size") << withBands(QString(), QStringLiteral(R"({"size": "A3"})"))
                                           << QStringLiteral("неизвестный формат «A3»");
    }

    void rejected()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, reason);
        try {
            Layout::fromJson(json, QStringLiteral("test.json"));
            QFAIL("loaded");
        } catch (const ReportError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Макет «test.json»")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(reason), qPrintable(e.message()));
        }
    }

    void missingFile()
    {
        QVERIFY_THROWS_EXCEPTION(ReportError, Layout::fromFile(QStringLiteral("/nonexistent/layout.json")));
    }
};

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
