#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

#include <optional>

namespace tabel {

// A statement with named parameters (":data") rewritten with positional markers ("?"), so that every
// driver binds the same way. Casts ("::numeric") and quoted text are left alone. Names are lower-cased:
// parameters are looked up without regard to letter case.
struct PositionalStatement
{
    QString text;
    QStringList names; // one per marker, in order; a name may repeat
};
// marker, when given, writes each marker instead of "?".
PositionalStatement toPositional(const QString &statement,
                                 const std::function<QString(const QString &name)> &marker = {});

// A value as an SQL literal (null, numbers, dates, times, texts with apostrophes doubled; the
// connection keeps standard strings), and a statement with its named parameters written so: for the
// statements a server will not take parameters in. Another kind of value throws DataError.
QString sqlLiteral(const QVariant &value);
QString withLiterals(const QString &statement, const QHash<QString, QVariant> &params);

// A text as an SQL literal, apostrophes doubled: for the statements that must keep their text shape.
QString quoted(const QString &text);

// A number as statement text: plain decimal notation with a point, whatever the locale, in its
// shortest form with up to 15 significant digits (2.5, 3, 0.000001, 1234567.25). A value that is not
// finite throws DataError: it is never written.
QString sqlNumber(double value);

// A number as the user typed it with the locale's separator (a comma here; a point is taken too).
// Empty when the text is not a number.
std::optional<double> typedNumber(const QString &text);

} // namespace tabel
