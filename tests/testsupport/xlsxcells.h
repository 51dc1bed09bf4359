#pragma once

#include <QJsonObject>
#include <QString>

namespace tabel::test {

// The cells of an .xlsx file's first sheet, read back by openpyxl (tests/reports/readxlsx.py): for
// each cell ("B3") its type ("s" text, "n" number), value, bold and number format.
QJsonObject xlsxCells(const QString &path);

} // namespace tabel::test
