#pragma once

#include <QString>

namespace tabel {

// Why a text from outside (a box, a paste, a legacy source) cannot be stored as it is; empty when it
// can. Refused: a control character other than the tab (a NUL would cut the statement short), a
// broken surrogate pair, more characters than the column holds (maxLength 0: no limit).
QString textRefusal(const QString &field, const QString &text, int maxLength = 0);

// The text with its control characters and broken surrogates written out ("\u0000"), for messages.
QString visibleText(const QString &text, int maxCharacters = 60);

} // namespace tabel
