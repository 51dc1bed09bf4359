#include "app/buildstamp.h"

namespace tabel {

namespace {
QChar at(const QString &s, qsizetype i)
{
    return i < s.size() ? s.at(i) : QLatin1Char('?');
}
int digit(QChar c)
{
    return c.unicode() - u'0';
}
} // namespace

BuildStamp buildStamp(const QString &dateText, const QString &timeText)
{
    int month;
    const QChar c2 = at(dateText, 2);
    if (c2 == QLatin1Char('?'))
        month = 1;
    else if (c2 == QLatin1Char('n'))
        month = at(dateText, 1) == QLatin1Char('a') ? 1 : 6;
    else if (c2 == QLatin1Char('b'))
        month = 2;
    else if (c2 == QLatin1Char('r'))
        month = at(dateText, 0) == QLatin1Char('M') ? 3 : 4;
    else if (c2 == QLatin1Char('y'))
        month = 5;
    else if (c2 == QLatin1Char('l'))
        month = 7;
    else if (c2 == QLatin1Char('g'))
        month = 8;
    else if (c2 == QLatin1Char('p'))
        month = 9;
    else if (c2 == QLatin1Char('t'))
        month = 10;
    else if (c2 == QLatin1Char('v'))
        month = 11;
    else
        month = 12;

    int day;
    const QChar c4 = at(dateText, 4);
    if (c4 == QLatin1Char('?'))
        day = 1;
    else
        day = (c4 == QLatin1Char(' ') ? 0 : digit(c4)) * 10 + digit(at(dateText, 5));

    int year = 1900;
    if (at(dateText, 7) != QLatin1Char('?'))
        year = dateText.mid(7, 4).toInt();

    const QString dateDigits = QString::number(year) +
                               QStringLiteral("%1").arg(month, 2, 10, QLatin1Char('0')) +
                               QStringLiteral("%1").arg(day, 2, 10, QLatin1Char('0'));
    BuildStamp s;
    s.date = dateDigits.toInt();
    s.time = digit(at(timeText, 0)) * 36000 + digit(at(timeText, 1)) * 3600 + digit(at(timeText, 3)) * 600 +
             digit(at(timeText, 4)) * 60 + digit(at(timeText, 6)) * 10 + digit(at(timeText, 7));
    return s;
}

} // namespace tabel
