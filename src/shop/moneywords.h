#pragma once

#include <QString>

namespace tabel {

// Money as a pay statement writes it.

// Rubles to whole kopecks, halves away from zero, as the reports' "#0.00" prints them.
qint64 toKopecks(double rubles);
// "12 345,67": thousands apart, two kopeck digits.
QString moneyFigures(qint64 kopecks);
// "двенадцать тысяч триста сорок пять рублей 67 копеек".
QString moneyInWords(qint64 kopecks);

} // namespace tabel
