#pragma once

#include "data/command.h"
#include "data/connection.h"
#include "data/dataset.h"

#include <QObject>

#include <memory>

namespace tabel {

// The shared data module: the one connection and the named datasets and commands that several windows
// use. Created once, before the login; lives for the whole run.
class DataModule : public QObject
{
    Q_OBJECT
public:
    // Another connection name lets several modules (clients) live in one process, each in its thread.
    explicit DataModule(QObject *parent = nullptr, const QString &connectionName = QStringLiteral("ADO_DB"));
    ~DataModule() override;

    Connection &connection() { return m_connection; }

    // Where reports, the time sheet's print and the exports read: this connection, unless the
    // settings name a server of their own for them (a read-only standby), so that a year's report
    // never slows the entries on the primary.
    void setReportSource(const QString &connectionString, const QString &server);
    QString reportServer() const { return m_reportServer; } // empty: the primary
    Connection &reportConnection() { return m_reports ? *m_reports : m_connection; }
    // Opens the report server's connection on its first use (the primary's is open already).
    void openReportConnection();

    Dataset *workers() const { return m_workers; }
    Dataset *izdel() const { return m_izdel; }
    Dataset *vidOper() const { return m_vidOper; }
    Dataset *oper() const { return m_oper; }
    Dataset *smena(int shift) const;  // 1..4; any other value gives Smena1
    Dataset *hTabel(int shift) const; // 1..3
    Dataset *control() const { return m_control; }
    Command *delSmena() const { return m_delSmena; }
    Command *hTabelIns() const { return m_hTabelIns; }
    Command *sqlExec() const { return m_sqlExec; }
    Command *operIns() const { return m_operIns; }
    Command *operEd() const { return m_operEd; }
    Command *operDel() const { return m_operDel; }

    // Runs a counting statement (field "cnt") through Control and answers the count. A refused
    // statement throws and leaves Control's statement as it was.
    qint64 duplicateCount(const QString &statement);

    // Every dataset of the module, for tests and for closing them all.
    QList<Dataset *> datasets() const;

private:
    Dataset *query(const QString &name, const QStringList &sql);
    Command *command(const QString &name, const QString &text = QString());

    Connection m_connection;
    std::unique_ptr<Connection> m_reports;
    QString m_reportServer;
    Dataset *m_workers, *m_izdel, *m_vidOper, *m_oper;
    Dataset *m_smena[4];
    Dataset *m_hTabel[3];
    Dataset *m_control;
    Command *m_delSmena, *m_hTabelIns, *m_sqlExec, *m_operIns, *m_operEd, *m_operDel;
};

} // namespace tabel
