#include "reportengine/mask.h"

#include <algorithm>
#include <cmath>

namespace tabel::report {

int maskDecimals(const QString &mask)
{
    const qsizetype dot = mask.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return 0;
    int n = 0;
    for (qsizetype i = dot + 1;
         i < mask.size() && (mask.at(i) == QLatin1Char('0') || mask.at(i) == QLatin1Char('#')); ++i)
        ++n;
    return n;
}

QString formatNumber(double value, const QString &mask, const QLocale &locale)
{
    if (!std::isfinite(value))
        return QString::number(value);
    const int decimals = maskDecimals(mask);
    // Round on the decimal digits a person reads (15 significant), not on the binary value, so that
    // 2.675 becomes 2.68 and 0.125 becomes 0.13.
    const QString digits =
        QString::number(std::fabs(value), 'f',
                        std::max(0, 14 - int(std::floor(std::log10(std::max(std::fabs(value), 1.0))))));
    qsizetype dot = digits.indexOf(QLatin1Char('.'));
    QString whole = dot < 0 ? digits : digits.left(dot);
    QString frac = dot < 0 ? QString() : digits.mid(dot + 1);
    frac = frac.leftJustified(decimals + 1, QLatin1Char('0'));
    const bool roundUp = frac.at(decimals) >= QLatin1Char('5');
    QString kept = whole + frac.left(decimals);
    if (roundUp) {
        qsizetype i = kept.size() - 1;
        for (; i >= 0; --i) {
            if (kept.at(i) == QLatin1Char('9')) {
                kept[i] = QLatin1Char('0');
            } else {
                kept[i] = QChar(kept.at(i).unicode() + 1);
                break;
            }
        }
        if (i < 0)
            kept.prepend(QLatin1Char('1'));
    }
    whole = kept.left(kept.size() - decimals);
    frac = kept.right(decimals);
    // Leading zeros beyond one go; "#0" keeps at least one digit.
    while (whole.size() > 1 && whole.at(0) == QLatin1Char('0'))
        whole.remove(0, 1);
    if (whole.isEmpty())
        whole = QStringLiteral("0");
    if (mask.contains(QLatin1Char(','))) {
        const QString sep = locale.groupSeparator();
        for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
            whole.insert(i, sep);
    }
    QString result = whole;
    if (decimals > 0)
        result += locale.decimalPoint() + frac;
    const bool zero = std::all_of(kept.cbegin(), kept.cend(), [](QChar c) { return c == QLatin1Char('0'); });
    if (value < 0 && !zero)
        result.prepend(locale.negativeSign());
    return result;
}

} // namespace tabel::report
