#include "data/datamodule.h"

#include "data/statements.h"

#include <QDate>

namespace tabel {

DataModule::DataModule(QObject *parent, const QString &connectionName)
    : QObject(parent), m_connection(connectionName)
{
    setObjectName(QStringLiteral("DataModule"));
    m_workers = query(QStringLiteral("Workers"), statements::workers());
    m_izdel = query(QStringLiteral("Izdel"), statements::izdel());
    m_vidOper = query(QStringLiteral("Vid_oper"), statements::vidOper());
    m_vidOper->setUpdateTable(QStringLiteral("accounts_dep.vid_oper"));
    m_oper = query(QStringLiteral("Oper"), statements::oper());
    // The register's and the time sheet's parameters start with the old program's design-time values
    // (a day of 2022 for the first shift, the zero date for the others; February 2021 and October
    // 2007), so that a dataset opened before any window set them reads what the old one read. Every
    // window sets its own values before it opens one: these are never what a user sees.
    for (int s = 1; s <= 4; ++s) {
        Dataset *d = query(QStringLiteral("Smena%1").arg(s), statements::smena(s));
        d->setParam(QStringLiteral("data"), s == 1 ? QDate(2022, 11, 18) : QDate(1899, 12, 30));
        d->setParam(QStringLiteral("ok"), s == 1 ? QStringLiteral("ok") : QStringLiteral("ta"));
        m_smena[s - 1] = d;
    }
    for (int s = 1; s <= 3; ++s) {
        Dataset *d = query(QStringLiteral("H_Tabel_%1").arg(s), statements::hTabel(s));
        d->setParam(QStringLiteral("mnth"), s == 1 ? 2 : 10);
        d->setParam(QStringLiteral("yea"), s == 1 ? 2021 : 2007);
        m_hTabel[s - 1] = d;
    }
    m_control = query(QStringLiteral("Control"), {});
    m_delSmena = command(QStringLiteral("DelSmena"));
    m_hTabelIns = command(QStringLiteral("H_Tabel_ins"));
    m_sqlExec = command(QStringLiteral("SQL_exec"));
    m_operIns = command(QStringLiteral("Oper_ins"));
    m_operEd = command(QStringLiteral("Oper_ed"));
    m_operDel = command(QStringLiteral("Oper_del"), statements::operDel());
    m_operDel->setParam(QStringLiteral("id"), 0);
}

DataModule::~DataModule()
{
    for (Dataset *d : datasets())
        d->close();
    m_connection.close();
    if (m_reports)
        m_reports->close();
}

void DataModule::setReportSource(const QString &connectionString, const QString &server)
{
    if (m_reports)
        m_reports->close();
    m_reports.reset();
    m_reportServer.clear();
    if (connectionString.isEmpty())
        return;
    m_reports = std::make_unique<Connection>(m_connection.name() + QStringLiteral("_reports"));
    m_reports->setDriver(m_connection.driver());
    m_reports->setConnectionString(connectionString);
    m_reports->setSessionValue(QStringLiteral("application_name"), QStringLiteral("tabel"));
    m_reportServer = server;
}

void DataModule::openReportConnection()
{
    if (m_reports && !m_reports->isOpen() && !m_reports->isLost())
        m_reports->open();
}

Dataset *DataModule::query(const QString &name, const QStringList &sql)
{
    auto *d = new Dataset(&m_connection, name, this);
    d->setSql(sql);
    return d;
}

Command *DataModule::command(const QString &name, const QString &text)
{
    auto *c = new Command(&m_connection, name, this);
    c->setText(text);
    return c;
}

Dataset *DataModule::smena(int shift) const
{
    return (shift >= 1 && shift <= 4) ? m_smena[shift - 1] : m_smena[0];
}

Dataset *DataModule::hTabel(int shift) const
{
    return (shift >= 1 && shift <= 3) ? m_hTabel[shift - 1] : m_hTabel[0];
}

QList<Dataset *> DataModule::datasets() const
{
    return {m_workers,  m_izdel,    m_vidOper,   m_oper,      m_smena[0],  m_smena[1],
            m_smena[2], m_smena[3], m_hTabel[0], m_hTabel[1], m_hTabel[2], m_control};
}

qint64 DataModule::duplicateCount(const QString &statement)
{
    const QStringList previous = m_control->sql();
    m_control->close();
    m_control->setSql({statement});
    try {
        m_control->open();
        const qint64 count = m_control->asInt(QStringLiteral("cnt"));
        m_control->close();
        return count;
    } catch (...) {
        m_control->close();
        m_control->setSql(previous);
        throw;
    }
}

} // namespace tabel
