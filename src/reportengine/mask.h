#pragma once

#include <QLocale>
#include <QString>

namespace tabel::report {

// Number masks of the layouts: "#0.00" and "#0.000" give exactly 2 or 3 decimals with at least one digit
// before the separator, "#0" a whole number; halves round away from zero, as the shop's old reports
// did. "#,##0.00" groups thousands. The decimal separator is the locale's.
QString formatNumber(double value, const QString &mask, const QLocale &locale = QLocale());

// The decimal places a mask asks for.
int maskDecimals(const QString &mask);

} // namespace tabel::report
