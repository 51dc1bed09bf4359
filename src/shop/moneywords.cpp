#include "shop/moneywords.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace tabel {

namespace {
// The form a count takes: 1 рубль, 2 рубля, 5 рублей (and 11–14 like 5).
const char *form(qint64 n, const char *one, const char *few, const char *many)
{
    const qint64 lastTwo = n % 100, last = n % 10;
    if (lastTwo >= 11 && lastTwo <= 14)
        return many;
    if (last == 1)
        return one;
    if (last >= 2 && last <= 4)
        return few;
    return many;
}

// Words of 1..999; feminine for thousands (одна, две).
QStringList hundreds(int n, bool feminine)
{
    static const char *const units[] = {"",     "один",  "два",  "три",    "четыре",
                                        "пять", "шесть", "семь", "восемь", "девять"};
    static const char *const teens[] = {"десять",       "одиннадцать", "двенадцать",  "тринадцать",
                                        "четырнадцать", "пятнадцать",  "шестнадцать", "семнадцать",
                                        "восемнадцать", "девятнадцать"};
    static const char *const tens[] = {"",          "",           "двадцать",  "тридцать",    "сорок",
                                       "пятьдесят", "шестьдесят", "семьдесят", "восемьдесят", "девяносто"};
    static const char *const hundredWords[] = {"",        "сто",      "двести",  "триста",    "четыреста",
                                               "пятьсот", "шестьсот", "семьсот", "восемьсот", "девятьсот"};
    QStringList w;
    if (n / 100)
        w << QString::fromUtf8(hundredWords[n / 100]);
    const int rest = n % 100;
    if (rest >= 10 && rest < 20) {
        w << QString::fromUtf8(teens[rest - 10]);
        return w;
    }
    if (rest / 10)
        w << QString::fromUtf8(tens[rest / 10]);
    const int unit = rest % 10;
    if (unit == 1 && feminine)
        w << QStringLiteral("одна");
    else if (unit == 2 && feminine)
        w << QStringLiteral("две");
    else if (unit)
        w << QString::fromUtf8(units[unit]);
    return w;
}
} // namespace

qint64 toKopecks(double rubles)
{
    // As the reports' masks round: on the decimal digits a person reads (15 significant), not on the
    // binary value, so that 2.675 is 2,68.
    const double a = std::fabs(rubles);
    const QString digits =
        QString::number(a, 'f', std::max(0, 14 - int(std::floor(std::log10(std::max(a, 1.0))))));
    const qsizetype dot = digits.indexOf(u'.');
    const QString frac = (dot < 0 ? QString() : digits.mid(dot + 1)).leftJustified(3, u'0');
    qint64 k = (dot < 0 ? digits : digits.left(dot)).toLongLong() * 100 + frac.left(2).toLongLong();
    if (frac.at(2) >= u'5')
        ++k;
    return rubles < 0 ? -k : k;
}

QString moneyFigures(qint64 kopecks)
{
    const bool negative = kopecks < 0;
    const qint64 k = negative ? -kopecks : kopecks;
    QString rubles = QString::number(k / 100);
    for (qsizetype i = rubles.size() - 3; i > 0; i -= 3)
        rubles.insert(i, u' ');
    return (negative ? QStringLiteral("-") : QString()) + rubles + u',' +
           QStringLiteral("%1").arg(k % 100, 2, 10, QLatin1Char('0'));
}

QString moneyInWords(qint64 kopecks)
{
    const bool negative = kopecks < 0;
    const qint64 k = negative ? -kopecks : kopecks;
    const qint64 rubles = k / 100;
    QStringList w;
    if (negative)
        w << QStringLiteral("минус");
    if (rubles == 0)
        w << QStringLiteral("ноль");
    struct Scale
    {
        qint64 size;
        bool feminine;
        const char *one, *few, *many;
    };
    static const Scale scales[] = {{1000000000000LL, false, "триллион", "триллиона", "триллионов"},
                                   {1000000000LL, false, "миллиард", "миллиарда", "миллиардов"},
                                   {1000000LL, false, "миллион", "миллиона", "миллионов"},
                                   {1000LL, true, "тысяча", "тысячи", "тысяч"}};
    qint64 rest = rubles;
    for (const Scale &s : scales) {
        const qint64 count = rest / s.size;
        rest %= s.size;
        if (count == 0)
            continue;
        w << hundreds(int(count % 1000), s.feminine);
        w << QString::fromUtf8(form(count, s.one, s.few, s.many));
    }
    if (rest)
        w << hundreds(int(rest), false);
    w << QString::fromUtf8(form(rubles, "рубль", "рубля", "рублей"));
    const qint64 kop = k % 100;
    w << QStringLiteral("%1").arg(kop, 2, 10, QLatin1Char('0'))
      << QString::fromUtf8(form(kop, "копейка", "копейки", "копеек"));
    return w.join(u' ');
}

} // namespace tabel
