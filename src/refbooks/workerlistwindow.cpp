#include "refbooks/workerlistwindow.h"

#include "ui_workerlistwindow.h"

#include "data/datamodule.h"
#include "refbooks/listsearch.h"
#include "refbooks/workereditor.h"
#include "ui/datasetmodel.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QHeaderView>
#include <QShowEvent>

namespace tabel {

WorkerListWindow::WorkerListWindow(const AppContext &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::WorkerListWindow>()), m_context(context)
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Fixed, Placement::MainWindowCentre);
    MessageService *messages = m_context.services.messages;
    Dataset *workers = m_context.data->workers();

    m_model = new DatasetModel(this);
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    m_model->setColumns({{QStringLiteral("ФИО"), QStringLiteral("fio"), left, 270},
                         {QStringLiteral("Должность"), QStringLiteral("s_staffpos_hl"), left, 270}});
    m_model->setDataset(workers);
    m_model->attach(ui->grid);
    new SearchKeys(ui->searchEdit, workers, SearchKeys::Keys::TypingOnly);

    connectGuarded(ui->searchEdit, &QLineEdit::textChanged, this, messages,
                   [workers](const QString &text) { applySearch(workers, QStringLiteral("fio"), text); });
    connectGuarded(ui->addButton, &QPushButton::clicked, this, messages, [this] { addWorker(); });
    connectGuarded(ui->changeButton, &QPushButton::clicked, this, messages, [this] { changeOrChoose(); });
    connectGuarded(ui->deleteButton, &QPushButton::clicked, this, messages, [this] { deleteWorker(); });
    connectGuarded(ui->grid, &QAbstractItemView::doubleClicked, this, messages, [this] { changeOrChoose(); });
    connect(ui->exitButton, &QPushButton::clicked, this, &QDialog::reject);
}

WorkerListWindow::~WorkerListWindow() = default;

void WorkerListWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (ui->searchEdit->isVisible())
        ui->searchEdit->setFocus();
}

void WorkerListWindow::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    // Each time the window becomes active (also back from an editor or a picker).
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && ui->searchEdit->isVisible())
        ui->searchEdit->setFocus();
}

void WorkerListWindow::openForMaintenance()
{
    Dataset *workers = m_context.data->workers();
    m_mode = Mode::Maintenance;
    workers->open(); // filtered by whatever the search box still holds
    ui->changeButton->setText(QStringLiteral("Изменить"));
    ui->changeButton->setDefault(false);
    ui->addButton->setDefault(true);
    ui->addButton->show();
    ui->deleteButton->show();
    m_context.services.exec(this);
    workers->close();
}

std::optional<WorkerListWindow::Choice> WorkerListWindow::pickWorker()
{
    Dataset *workers = m_context.data->workers();
    m_mode = Mode::Selection;
    m_choice.reset();
    workers->open();
    ui->changeButton->setText(QStringLiteral("Выбрать"));
    ui->addButton->setDefault(false);
    ui->changeButton->setDefault(true);
    ui->changeButton->show();
    ui->addButton->hide();
    ui->deleteButton->hide();
    ui->searchEdit->show();
    ui->searchEdit->clear(); // switches the filter off
    workers->setFiltered(false);
    m_context.services.exec(this);
    workers->close();
    return m_choice;
}

void WorkerListWindow::reopenAt(int recNo)
{
    Dataset *workers = m_context.data->workers();
    workers->close();
    workers->open();
    if (!workers->isEmpty() && recNo > 0)
        workers->setRecNo(std::min(recNo, workers->recordCount()));
}

void WorkerListWindow::addWorker()
{
    if (m_mode != Mode::Maintenance)
        return;
    m_context.windows->get<WorkerEditor>()->add();
    reopenAt(1);
}

void WorkerListWindow::changeOrChoose()
{
    Dataset *workers = m_context.data->workers();
    if (m_mode == Mode::Selection) {
        if (!workers->isEmpty())
            m_choice = Choice{workers->asString(QStringLiteral("fio")).trimmed(),
                              int(workers->asInt(QStringLiteral("id")))};
        accept();
        return;
    }
    if (workers->isEmpty()) // nothing to change
        return;
    const int recNo = workers->recNo();
    m_context.windows->get<WorkerEditor>()->change(int(workers->asInt(QStringLiteral("id"))),
                                                  workers->asString(QStringLiteral("fio")),
                                                  workers->asString(QStringLiteral("s_staffpos_hl")));
    reopenAt(recNo);
}

void WorkerListWindow::deleteWorker()
{
    Dataset *workers = m_context.data->workers();
    if (m_mode != Mode::Maintenance || workers->isEmpty())
        return;
    if (!m_context.services.messages->ask(QStringLiteral("Удаление"), QStringLiteral("Удалить работника?")))
        return;
    const int recNo = workers->recNo();
    // The enterprise person stays, so that the history still prints under the name.
    m_context.windows->get<WorkerEditor>()->deleteWorker(int(workers->asInt(QStringLiteral("id"))));
    reopenAt(recNo);
}

} // namespace tabel
