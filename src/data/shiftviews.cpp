#include "data/shiftviews.h"

#include "data/datamodule.h"

namespace tabel {

namespace {
const QString kData = QStringLiteral("data");
const QString kOk = QStringLiteral("ok");
} // namespace

ShiftViews::ShiftViews(DataModule *data) : m_data(data) {}

void ShiftViews::setView(int view)
{
    m_view = (view >= 1 && view <= 4) ? view : 1;
}

Dataset *ShiftViews::current() const
{
    return m_data->smena(m_view);
}

Dataset *ShiftViews::dataset(int view) const
{
    return m_data->smena(view);
}

void ShiftViews::setAcceptanceFilter(const QString &mark)
{
    for (int s = 1; s <= 4; ++s)
        m_data->smena(s)->setParam(kOk, mark);
}

QString ShiftViews::acceptanceFilter() const
{
    return m_data->smena(1)->param(kOk).toString();
}

void ShiftViews::open(const QDate &date)
{
    for (int s = 1; s <= 4; ++s)
        m_data->smena(s)->close();
    for (int s = 1; s <= 4; ++s) {
        Dataset *d = m_data->smena(s);
        d->setParam(kData, date);
        d->open();
    }
}

void ShiftViews::refresh()
{
    for (int s = 1; s <= 4; ++s)
        m_data->smena(s)->close();
    for (int s = 1; s <= 4; ++s)
        m_data->smena(s)->open();
}

QDate ShiftViews::date() const
{
    return m_data->smena(1)->param(kData).toDate();
}

} // namespace tabel
