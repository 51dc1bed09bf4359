#pragma once

#include <QString>
#include <QStringList>

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

} // namespace tabel
