#pragma once

#include <QString>
#include <QStringList>

namespace tabel::statements {

// The shared statements, verbatim, each as the lines that are joined with line breaks.
QStringList workers();
QStringList izdel();
QStringList vidOper();
QStringList oper();
QStringList smena(int shift);  // 1, 2, 3, 4 (overtime)
QStringList hTabel(int shift); // 1, 2, 3
// The printed time sheet (H_Tabel): a worker's hours of each day over all shifts.
QStringList hTabelPrint();
// The period reports of the report dialog (t_Report by workers and by products, w_Report, i_Report)
// and its export by products (XLS_Rep).
QStringList workersReport();
QStringList productsReport();
QStringList workersDetailReport();
QStringList productsDetailReport();
QStringList productsExport();
QString operDel();
QString verTable();

} // namespace tabel::statements
