// The spreadsheet output: ROWS rows x 4 columns (mark, kind, price, product kind, as the operation
// list's export writes them) through the program's write-cell path, side by side in one run with the
// same cells written by a bare libxlsxwriter loop and by Python's openpyxl.
//
//   bench_spreadsheet [ROWS]

#include "reports/spreadsheet.h"
#include "ui/windowsetup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <algorithm>
#include <cstdio>

using namespace tabel;

namespace {
QString mark(int r)
{
    return QStringLiteral("ПН-%1x%2-%3").arg(20 + r % 80).arg(r % 37).arg(r % 5);
}
QString kind(int r)
{
    return r % 3 ? QStringLiteral("Резка") : QStringLiteral("Покраска (КРАСКА эмаль)");
}
double price(int r)
{
    return 0.5 + (r * 37 % 2000) / 100.0;
}
QString productKind(int r)
{
    return r % 4 ? QStringLiteral("Готовая продукция") : QStringLiteral("Заготовки");
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    useShopLocale();
    const int rows = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 100000;
    QTemporaryDir dir;

    // The program's path: the texts as the export builds them, each through writeCell.
    int problems = 0;
    auto program = [&] {
        Spreadsheet xls;
        xls.setFolder(dir.path());
        xls.setOpener([](const QString &) { return true; });
        Workbook book = xls.create(QStringLiteral("Операции"));
        book.write(1, 1, QStringLiteral("Марка"));
        book.write(2, 1, QStringLiteral("Операция"));
        book.write(3, 1, QStringLiteral("Цена"));
        book.write(4, 1, QStringLiteral("Вид"));
        for (int r = 0; r < rows; ++r) {
            book.write(1, r + 2, mark(r), CellOption::Text);
            book.write(2, r + 2, kind(r), CellOption::Text);
            book.write(3, r + 2, QLocale().toString(price(r), 'g', 15));
            book.write(4, r + 2, productKind(r), CellOption::Text);
        }
        problems += xls.deliver(book) ? 1 : 0;
    };

    // Bare libxlsxwriter: the same cells, the values already in their types, the names and kinds as
    // text cells as the export writes them.
    auto bareLoop = [&] {
        const QByteArray path = QDir(dir.path()).filePath(QStringLiteral("bare.xlsx")).toUtf8();
        lxw_workbook *book = workbook_new(path.constData());
        lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
        lxw_format *text = workbook_add_format(book);
        format_set_num_format(text, "@");
        worksheet_write_string(sheet, 0, 0, "Марка", nullptr);
        worksheet_write_string(sheet, 0, 1, "Операция", nullptr);
        worksheet_write_string(sheet, 0, 2, "Цена", nullptr);
        worksheet_write_string(sheet, 0, 3, "Вид", nullptr);
        for (int r = 0; r < rows; ++r) {
            worksheet_write_string(sheet, lxw_row_t(r + 1), 0, mark(r).toUtf8().constData(), text);
            worksheet_write_string(sheet, lxw_row_t(r + 1), 1, kind(r).toUtf8().constData(), text);
            worksheet_write_number(sheet, lxw_row_t(r + 1), 2, price(r), nullptr);
            worksheet_write_string(sheet, lxw_row_t(r + 1), 3, productKind(r).toUtf8().constData(), text);
        }
        workbook_close(book);
    };

    // Both in turn, three times; the fastest of each (the disk and the allocator settle after a run).
    double ours = 1e9, bare = 1e9;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        bareLoop();
        bare = std::min(bare, t.nsecsElapsed() / 1e9);
        t.restart();
        program();
        ours = std::min(ours, t.nsecsElapsed() / 1e9);
    }

    // openpyxl, the same cells.
    const QString script = QStringLiteral(
        "import sys, openpyxl\n"
        "rows = int(sys.argv[2])\n"
        "book = openpyxl.Workbook(); sheet = book.active\n"
        "sheet.append(['Марка', 'Операция', 'Цена', 'Вид'])\n"
        "for r in range(rows):\n"
        "    sheet.append(['ПН-%d' % (20 + r % 80) + 'x%d-%d' % (r % 37, r % 5),\n"
        "                  'Резка' if r % 3 else 'Покраска (КРАСКА эмаль)', 0.5 + (r * 37 % 2000) / 100.0,\n"
        "                  'Готовая продукция' if r % 4 else 'Заготовки'])\n"
        "    for c in (1, 2, 4): sheet.cell(r + 2, c).number_format = '@'\n"
        "book.save(sys.argv[1])\n");
    QElapsedTimer t;
    t.start();
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), script, QDir(dir.path()).filePath(QStringLiteral("openpyxl.xlsx")),
                  QString::number(rows)});
    python.waitForFinished(-1);
    const double openpyxl = t.nsecsElapsed() / 1e9;
    if (python.exitCode() != 0)
        std::fprintf(stderr, "openpyxl: %s\n", python.readAllStandardError().constData());

    std::printf("spreadsheet output, %d rows x 4 columns (%d problems)\n", rows, problems);
    std::printf("  Табель (Workbook):  %.3f s\n", ours);
    std::printf("  bare libxlsxwriter:  %.3f s   ratio %.2f (goal: at most 1.30)\n", bare, ours / bare);
    std::printf("  openpyxl:            %.3f s   %.1fx faster (goal: at least 10)\n", openpyxl,
                openpyxl / ours);
    return 0;
}
