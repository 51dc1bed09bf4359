#include "reports/streamedreport.h"

#include "data/dataerror.h"

#include <QPointer>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

namespace tabel {

namespace {
// Thrown into the preparing thread when the report is no longer wanted.
struct Stopped
{
};
} // namespace

struct StreamedReport::Shared
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QVector<RowCursor::Row>> blocks;
    QStringList fields;
    bool described = false;
    bool allFetched = false;
    bool stopped = false;
    std::exception_ptr fetchError;
    std::optional<report::Document> first, whole;
    std::exception_ptr error;
    bool prepared = false; // the engine has ended, with a document or an error
    qint64 rows = 0;
    std::thread thread;
};

// The engine's view of the arriving rows: waits for the next block when it has read the last.
class StreamedReport::Rows : public report::ReportData
{
public:
    Rows(Shared &shared, const std::function<void()> &taken) : m_shared(shared), m_taken(taken) {}
    QString name() const override { return m_name; }
    void setName(const QString &name) { m_name = name; }
    QStringList fieldNames() const override
    {
        std::unique_lock lock(m_shared.mutex);
        m_shared.changed.wait(lock, [this] { return m_shared.described || m_shared.stopped; });
        if (m_shared.stopped)
            throw Stopped{};
        return m_shared.fields;
    }
    void first() override
    {
        m_row = 0;
        m_block.clear();
        take();
    }
    void next() override
    {
        if (++m_row >= m_block.size())
            take();
    }
    bool eof() const override { return m_row >= m_block.size(); }
    QVariant value(int field) const override { return eof() ? QVariant() : m_block.at(m_row).value(field); }

private:
    void take()
    {
        m_row = 0;
        m_block.clear();
        std::unique_lock lock(m_shared.mutex);
        for (;;) {
            m_shared.changed.wait(
                lock, [this] { return !m_shared.blocks.empty() || m_shared.allFetched || m_shared.stopped; });
            if (m_shared.stopped)
                throw Stopped{};
            if (m_shared.blocks.empty())
                return; // all read
            m_block = std::move(m_shared.blocks.front());
            m_shared.blocks.pop_front();
            m_shared.rows += m_block.size();
            lock.unlock();
            m_shared.changed.notify_all();
            m_taken();
            if (!m_block.isEmpty())
                return;
            lock.lock();
        }
    }

    Shared &m_shared;
    std::function<void()> m_taken;
    QString m_name;
    QVector<RowCursor::Row> m_block;
    qsizetype m_row = 0;
};

StreamedReport::StreamedReport(report::Report report, std::unique_ptr<RowCursor> rows,
                               const QString &dataName, QObject *parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()), m_rows(std::move(rows))
{
    // The preparing thread tells this one, through its event loop, when a block is taken (room for
    // the next), page 1 is laid out, and the report is done.
    QPointer<StreamedReport> self(this);
    auto post = [self](auto member) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, member] {
                if (self)
                    (self.data()->*member)();
            },
            Qt::QueuedConnection);
    };
    Shared *shared = m_shared.get();
    shared->thread = std::thread([shared, post, dataName, report = std::move(report)] {
        Rows rows(*shared, [post] { post(&StreamedReport::pump); });
        rows.setName(dataName);
        std::optional<report::Document> whole;
        std::exception_ptr error;
        try {
            whole = report.prepare(rows, [shared, post](report::Document page) {
                {
                    std::lock_guard lock(shared->mutex);
                    shared->first = std::move(page);
                }
                shared->changed.notify_all();
                post(&StreamedReport::firstPageReady);
            });
        } catch (const Stopped &) {
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(shared->mutex);
            shared->whole = std::move(whole);
            shared->error = error;
            shared->prepared = true;
        }
        shared->changed.notify_all();
        post(&StreamedReport::finished);
    });
    pump();
}

StreamedReport::~StreamedReport()
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stopped = true;
    }
    m_shared->changed.notify_all();
    if (m_shared->thread.joinable())
        m_shared->thread.join();
}

bool StreamedReport::fetchBlock()
{
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->allFetched || m_shared->stopped || m_shared->blocks.size() >= size_t(kBlocksAhead))
            return false;
    }
    QVector<RowCursor::Row> block;
    std::exception_ptr error;
    try {
        block = m_rows->fetch(m_shared->described ? kBlock : kFirstBlock);
    } catch (...) {
        error = std::current_exception();
    }
    {
        std::lock_guard lock(m_shared->mutex);
        if (error) {
            // The engine stops; the failure is the fetch's.
            m_shared->fetchError = error;
            m_shared->stopped = true;
        } else {
            if (!m_shared->described) {
                m_shared->fields = m_rows->fieldNames();
                m_shared->described = true;
            }
            if (!block.isEmpty())
                m_shared->blocks.push_back(std::move(block));
            m_shared->allFetched = m_rows->atEnd();
        }
    }
    m_shared->changed.notify_all();
    return true;
}

void StreamedReport::pump()
{
    // One block per turn of the event loop: the window stays live between them.
    if (fetchBlock() && !m_pumpQueued) {
        m_pumpQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_pumpQueued = false;
            pump();
        });
    }
}

template <typename Pred> void StreamedReport::waitFor(Pred ready)
{
    for (;;) {
        {
            std::unique_lock lock(m_shared->mutex);
            if (ready() || m_shared->prepared)
                return;
        }
        if (fetchBlock())
            continue;
        std::unique_lock lock(m_shared->mutex);
        // Until the engine takes a block, or ends.
        m_shared->changed.wait(lock, [this, &ready] {
            return ready() || m_shared->prepared ||
                   (!m_shared->allFetched && !m_shared->stopped &&
                    m_shared->blocks.size() < size_t(kBlocksAhead));
        });
    }
}

static void rethrow(const std::exception_ptr &fetchError, const std::exception_ptr &error)
{
    if (fetchError)
        std::rethrow_exception(fetchError);
    if (error)
        std::rethrow_exception(error);
}

report::Document StreamedReport::firstPage()
{
    waitFor([this] { return m_shared->first.has_value(); });
    std::lock_guard lock(m_shared->mutex);
    rethrow(m_shared->fetchError, m_shared->error);
    if (m_shared->first)
        return *m_shared->first;
    if (!m_shared->whole)
        throw DataError(QStringLiteral("Отчет прерван"));
    m_taken = true;
    return std::move(*m_shared->whole);
}

report::Document StreamedReport::takeDocument()
{
    waitFor([] { return false; });
    if (m_shared->thread.joinable())
        m_shared->thread.join();
    rethrow(m_shared->fetchError, m_shared->error);
    if (m_taken || !m_shared->whole)
        throw DataError(QStringLiteral("Отчет прерван"));
    m_taken = true;
    return std::move(*m_shared->whole);
}

bool StreamedReport::isFinished() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->prepared;
}

qint64 StreamedReport::rowsRead() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->rows;
}

} // namespace tabel
