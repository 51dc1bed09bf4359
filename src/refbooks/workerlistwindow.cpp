#include "refbooks/workerlistwindow.h"

#include "ui_workerlistwindow.h"

#include "data/datamodule.h"
#include "refbooks/workereditor.h"
#include "ui/guard.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

namespace tabel {

WorkerListWindow::WorkerListWindow(const AppContext &context, QWidget *parent)
    : BookListWindow(context, parent), ui(std::make_unique<Ui::WorkerListWindow>())
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Fixed, Placement::MainWindowCentre);
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    setUpList(m_context.data->workers(),
              {ui->grid, ui->searchEdit, ui->addButton, ui->changeButton, ui->deleteButton, ui->exitButton},
              {{QStringLiteral("ФИО"), QStringLiteral("fio"), left, 270},
               {QStringLiteral("Должность"), QStringLiteral("s_staffpos_hl"), left, 270}},
              QStringLiteral("fio"), SearchKeys::Keys::TypingOnly);
    connectGuarded(ui->deleteButton, &QPushButton::clicked, this, m_context.services.messages,
                   [this] { deleteWorker(); });
}

WorkerListWindow::~WorkerListWindow() = default;

void WorkerListWindow::openForMaintenance()
{
    prepareMaintenance();
    run();
    m_rows->close();
}

std::optional<WorkerListWindow::Choice> WorkerListWindow::pickWorker()
{
    prepareSelection();
    run();
    m_rows->close();
    return m_choice;
}

void WorkerListWindow::addRow()
{
    m_context.windows->get<WorkerEditor>()->add();
    reopenAt(1);
}

void WorkerListWindow::changeRow()
{
    const int recNo = m_rows->recNo();
    m_context.windows->get<WorkerEditor>()->change(int(m_rows->asInt(QStringLiteral("id"))),
                                                   m_rows->asString(QStringLiteral("fio")),
                                                   m_rows->asString(QStringLiteral("s_staffpos_hl")));
    reopenAt(recNo);
}

void WorkerListWindow::chooseRow()
{
    if (!m_rows->isEmpty())
        m_choice = Choice{m_rows->asString(QStringLiteral("fio")).trimmed(),
                          int(m_rows->asInt(QStringLiteral("id")))};
}

void WorkerListWindow::deleteWorker()
{
    const int recNo = m_rows->recNo();
    if (deleteCurrent(QStringLiteral("Удалить работника?"), [](BookStore &store, qint64 id) {
            store.deleteWorker(int(id));
            return BookResult{id, {}};
        }))
        reopenAt(recNo);
}

} // namespace tabel
