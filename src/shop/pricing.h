#pragma once

#include <QLocale>
#include <QString>

namespace tabel {

// The piece price of an entry: the operation's price, times 2 on a day off, then times 1.2 in the
// third shift or 1.5 in overtime (shift view 4).
double entryPrice(double operationPrice, bool dayOff, int shiftView);

// Rounded to 4 decimal places, exact halves to the even neighbour. The halves are those of the value
// as written with 15 significant digits (0.00015 is a half, although its nearest double lies just
// below), so that no binary drift of a product like 10 * 1.2 decides the last digit.
double roundPrice(double value);

// General-format text of a number: at most 15 significant digits, trailing zeros dropped, no digit
// grouping, the locale's decimal separator ("12,5" in Russian).
QString numberText(double value, const QLocale &locale = QLocale());

// "ПН-27; Резка; Готовая продукция": the product's mark, the operation kind and the product kind.
QString operationText(const QString &mark, const QString &kind, int naimen);

// A paint operation is recognised by "КРАСКА" anywhere in the text, in any letter case.
bool isPaintOperation(const QString &text);

} // namespace tabel
