#pragma once

#include <QString>
#include <QStringList>

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
PositionalStatement toPositional(const QString &statement);

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
