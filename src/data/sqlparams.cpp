#include "data/sqlparams.h"

#include "data/dataerror.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace tabel {

namespace {
bool isNameStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}
bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}
} // namespace

PositionalStatement toPositional(const QString &statement,
                                 const std::function<QString(const QString &)> &marker)
{
    PositionalStatement result;
    result.text.reserve(statement.size());
    const qsizetype n = statement.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = statement.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // Copy a quoted part whole; a doubled quote stays inside it.
            qsizetype j = i + 1;
            while (j < n) {
                if (statement.at(j) == c) {
                    if (j + 1 < n && statement.at(j + 1) == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            result.text += QStringView(statement).mid(i, qMin(j, n - 1) - i + 1);
            i = j;
            continue;
        }
        if (c == QLatin1Char('-') && i + 1 < n && statement.at(i + 1) == QLatin1Char('-')) {
            qsizetype j = statement.indexOf(QLatin1Char('\n'), i);
            if (j < 0)
                j = n - 1;
            result.text += QStringView(statement).mid(i, j - i + 1);
            i = j;
            continue;
        }
        if (c == QLatin1Char(':')) {
            if (i + 1 < n && statement.at(i + 1) == QLatin1Char(':')) {
                result.text += QLatin1String("::");
                ++i;
                continue;
            }
            if (i + 1 < n && isNameStart(statement.at(i + 1))) {
                qsizetype j = i + 1;
                while (j < n && isNameChar(statement.at(j)))
                    ++j;
                result.names << statement.mid(i + 1, j - i - 1).toLower();
                if (marker)
                    result.text += marker(result.names.constLast());
                else
                    result.text += QLatin1Char('?');
                i = j - 1;
                continue;
            }
        }
        result.text += c;
    }
    return result;
}

QString sqlLiteral(const QVariant &value)
{
    if (value.isNull())
        return QStringLiteral("null");
    switch (value.typeId()) {
    case QMetaType::QDate:
        return quoted(value.toDate().toString(Qt::ISODate)) + QStringLiteral("::date");
    case QMetaType::QDateTime:
        return quoted(value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))) +
               QStringLiteral("::timestamp");
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return value.toString();
    case QMetaType::Double:
        return sqlNumber(value.toDouble());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::QString:
        return quoted(value.toString());
    default:
        throw DataError(QStringLiteral("Значение параметра не поддерживается: %1")
                            .arg(QString::fromLatin1(value.typeName())));
    }
}

QString withLiterals(const QString &statement, const QHash<QString, QVariant> &params)
{
    return toPositional(statement, [&params](const QString &name) { return sqlLiteral(params.value(name)); })
        .text;
}

QString quoted(const QString &text)
{
    QString s = text;
    s.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

QString sqlNumber(double value)
{
    // A NaN or an infinity would reach the statement as a column name, or store what no sum can use.
    if (!std::isfinite(value))
        throw DataError(QStringLiteral("Число «%1» не может быть записано в базу данных.")
                            .arg(QLocale::c().toString(value)));
    // Rounded to 15 significant digits first, so that binary noise never reaches the statement.
    const double rounded = QString::number(value, 'g', 15).toDouble();
    QString text = QLocale::c().toString(rounded, 'f', QLocale::FloatingPointShortest);
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

std::optional<double> typedNumber(const QString &text)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace tabel
