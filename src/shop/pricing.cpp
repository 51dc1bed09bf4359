#include "shop/pricing.h"

#include "data/productkind.h"

#include <QByteArray>

#include <cmath>
#include <cstdlib>

namespace tabel {

double entryPrice(double operationPrice, bool dayOff, int shiftView)
{
    double price = operationPrice;
    if (dayOff)
        price *= 2.0;
    if (shiftView == 3)
        price *= 1.2;
    else if (shiftView == 4)
        price *= 1.5;
    return price;
}

double roundPrice(double value)
{
    if (!std::isfinite(value) || value == 0)
        return value;
    // value = ±M * 10^(E - 14), M of 15 digits.
    const QByteArray text = QByteArray::number(std::fabs(value), 'e', 14);
    const int e = text.indexOf('e');
    QByteArray digits = text.left(e);
    digits.remove(1, 1); // the point
    const long long mantissa = digits.toLongLong();
    const int exponent = text.mid(e + 1).toInt();
    // In units of 0.0001: M * 10^k.
    const int k = exponent - 10;
    if (k >= 0)
        return value; // nothing beyond the fourth decimal
    long long units = 0;
    if (k >= -15) {
        long long divisor = 1;
        for (int i = 0; i < -k; ++i)
            divisor *= 10;
        units = mantissa / divisor;
        const long long rest = mantissa % divisor;
        if (2 * rest > divisor || (2 * rest == divisor && units % 2 != 0))
            ++units;
    }
    // Dividing gives the double nearest to the decimal; multiplying by 0.0001 would not.
    const double rounded = double(units) / 10000.0;
    return value < 0 ? -rounded : rounded;
}

QString numberText(double value, const QLocale &locale)
{
    QLocale l = locale;
    l.setNumberOptions(l.numberOptions() | QLocale::OmitGroupSeparator);
    if (value == 0)
        return QStringLiteral("0"); // never "-0"
    return l.toString(value, 'g', 15);
}

QString operationText(const QString &mark, const QString &kind, int naimen)
{
    return mark.trimmed() + QStringLiteral("; ") + kind.trimmed() + QStringLiteral("; ") +
           productKindText(naimen);
}

bool isPaintOperation(const QString &text)
{
    return text.toUpper().contains(QStringLiteral("КРАСКА"));
}

} // namespace tabel
