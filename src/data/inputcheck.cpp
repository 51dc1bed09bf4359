#include "data/inputcheck.h"

namespace tabel {

namespace {
bool isControl(char32_t c)
{
    return (c < 0x20 && c != U'\t') || (c >= 0x7f && c < 0xa0);
}

QString escaped(char32_t c)
{
    return QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
}

// Walks the text by code points; a lone surrogate comes out as itself, flagged.
template <typename F> void forEachCodePoint(const QString &text, F &&f)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            f(QChar::surrogateToUcs4(c, text.at(i + 1)), false);
            ++i;
        } else {
            f(char32_t(c.unicode()), c.isSurrogate());
        }
    }
}
} // namespace

QString textRefusal(const QString &field, const QString &text, int maxLength)
{
    QString refusal;
    qsizetype characters = 0;
    forEachCodePoint(text, [&](char32_t c, bool broken) {
        ++characters;
        if (refusal.isEmpty() && (broken || isControl(c)))
            refusal = QStringLiteral("В поле «%1» недопустимый символ %2.").arg(field, escaped(c));
    });
    if (refusal.isEmpty() && maxLength > 0 && characters > maxLength)
        refusal = QStringLiteral("В поле «%1» не больше %2 знаков, введено %3.")
                      .arg(field)
                      .arg(maxLength)
                      .arg(characters);
    return refusal;
}

QString visibleText(const QString &text, int maxCharacters)
{
    QString out;
    int shown = 0;
    bool cut = false;
    forEachCodePoint(text, [&](char32_t c, bool broken) {
        if (shown >= maxCharacters) {
            cut = true;
            return;
        }
        ++shown;
        if (broken || isControl(c))
            out += escaped(c);
        else
            out += QString::fromUcs4(&c, 1);
    });
    if (cut)
        out += QStringLiteral("…");
    return out;
}

} // namespace tabel
