#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>

namespace tabel {

class Connection;

// A statement without rows: text replaceable before every run, named parameters, execute.
class Command : public QObject
{
    Q_OBJECT
public:
    Command(Connection *connection, const QString &name, QObject *parent = nullptr);

    void setText(const QString &text) { m_text = text; }
    QString text() const { return m_text; }
    void setParam(const QString &name, const QVariant &value) { m_params.insert(name.toLower(), value); }
    QVariant param(const QString &name) const { return m_params.value(name.toLower()); }

    // Returns the number of rows the statement touched. Throws DataError when refused.
    int execute();

private:
    Connection *m_connection;
    QString m_text;
    QHash<QString, QVariant> m_params;
};

} // namespace tabel
