#include "reportengine/fonts.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>

#include <memory>

namespace tabel::report {

QString printFamily(const QString &family)
{
    const QString f = family.trimmed();
    if (f.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0 ||
        f.compare(QLatin1String("MS Sans Serif"), Qt::CaseInsensitive) == 0 ||
        f.compare(QLatin1String("Microsoft Sans Serif"), Qt::CaseInsensitive) == 0 ||
        f.compare(QLatin1String("Helvetica"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Liberation Sans");
    if (f.compare(QLatin1String("Times New Roman"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Liberation Serif");
    if (f.compare(QLatin1String("Courier New"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Liberation Mono");
    return f;
}

QFont makeFont(const FontSpec &spec)
{
    QFont font(printFamily(spec.family));
    font.setPointSizeF(spec.size > 0 ? spec.size : 10);
    font.setBold(spec.bold);
    font.setItalic(spec.italic);
    // The same advance widths on screen, paper and PDF.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

double textWidth(const FontSpec &spec, const QString &text)
{
    // Measured on a 720 dpi reference, so that a point is exactly 10 pixels. Each thread keeps its own:
    // a report is prepared beside the window showing its first page.
    thread_local const std::unique_ptr<QImage> reference = [] {
        auto image = std::make_unique<QImage>(1, 1, QImage::Format_ARGB32);
        image->setDotsPerMeterX(qRound(720 / 0.0254));
        image->setDotsPerMeterY(qRound(720 / 0.0254));
        return image;
    }();
    thread_local QHash<QString, std::shared_ptr<QFontMetricsF>> cache;
    const QString key = spec.family + QLatin1Char('|') + QString::number(spec.size) + QLatin1Char('|') +
                        QLatin1Char(spec.bold ? 'b' : 'n') + QLatin1Char(spec.italic ? 'i' : 'n');
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.insert(key, std::make_shared<QFontMetricsF>(makeFont(spec), reference.get()));
    return (*it)->horizontalAdvance(text) * 25.4 / 720.0;
}

} // namespace tabel::report
