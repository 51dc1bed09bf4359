#include "xlsxcells.h"

#include <QJsonDocument>
#include <QProcess>

namespace tabel::test {

QJsonObject xlsxCells(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(TABEL_SOURCE_DIR "/tests/reports/readxlsx.py"), path});
    p.waitForFinished(60000);
    return QJsonDocument::fromJson(p.readAllStandardOutput())
        .object()
        .value(QStringLiteral("cells"))
        .toObject();
}

} // namespace tabel::test
