#pragma once

#include "reportengine/document.h"
#include "reports/summaryreport.h"

#include <QDate>
#include <QString>

#include <functional>
#include <vector>

namespace tabel {

class Connection;

// "Расчётный листок": one worker's entries of a period with their sums, the hours of the time sheet
// and the total in words, for the worker's signature.
struct PayStatementRequest
{
    QDate from, to; // "с" included, "по" excluded, as the report dialog has them
    ProductKindChoice kind = ProductKindChoice::All;
    int worker = 0;   // 0: every worker with entries in the period
    QString shopName; // printed at the top; nothing when empty
};

struct PayStatement
{
    int worker = 0;
    QString name;
    qint64 kopecks = 0; // the period's sum, rounded as the report by workers rounds it
    report::Document document;
};

// Reads the period's entries and hours through the connection (one query each) and prepares one
// statement per worker, in the order of the report by workers (by name). progress gets statements
// prepared and their count.
std::vector<PayStatement> preparePayStatements(Connection *connection, const PayStatementRequest &request,
                                               const std::function<void(int, int)> &progress = {});
// The statements as one document: each worker from a new page, pages counted per worker.
report::Document joinPayStatements(std::vector<PayStatement> &&statements);

// The two statements the statements read (entries, hours by shift), with :data1, :data2 and :worker
// as the request needs them; the benchmark runs them alone beside the whole.
QStringList payStatementLinesStatement(const PayStatementRequest &request);
QStringList payStatementHoursStatement(const PayStatementRequest &request);

// The shop's name from the settings file ([shop] name).
QString shopNameSetting();
// "Листки 2024-03": the folder of a period's statements, by the month it starts in.
QString payStatementFolderName(const QDate &from);
// The file of each statement, in the order given: the worker's name made safe for a file name, with
// the worker's number added where two workers share a name.
QStringList payStatementFileNames(const std::vector<PayStatement> &statements);
// "Нет позиций …": what is said when a period has no statement to print.
QString noPayStatementsMessage();

} // namespace tabel
