#include "refbooks/operationkindlistwindow.h"

#include "ui_operationkindlistwindow.h"

#include "data/datamodule.h"
#include "data/locks.h"
#include "data/sqlexec.h"
#include "data/transaction.h"
#include "refbooks/listsearch.h"
#include "refbooks/operationkindeditor.h"
#include "ui/datasetmodel.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QHeaderView>
#include <QShowEvent>
#include <QSqlQuery>

namespace tabel {

OperationKindListWindow::OperationKindListWindow(const AppContext &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::OperationKindListWindow>()), m_context(context)
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Sizable, Placement::MainWindowCentre);
    MessageService *messages = m_context.services.messages;
    Dataset *kinds = m_context.data->vidOper();

    m_model = new DatasetModel(this);
    m_model->setColumns({{QStringLiteral("Операции"), QStringLiteral("vid"), Qt::AlignLeft | Qt::AlignVCenter, 300}});
    m_model->setDataset(kinds);
    m_model->attach(ui->grid);
    ui->grid->horizontalHeader()->setStretchLastSection(true);
    ui->searchEdit->hide();
    new SearchKeys(ui->searchEdit, kinds, SearchKeys::Keys::TypingOnly);

    connectGuarded(ui->searchEdit, &QLineEdit::textChanged, this, messages,
                   [kinds](const QString &text) { applySearch(kinds, QStringLiteral("vid"), text); });
    connectGuarded(ui->addButton, &QPushButton::clicked, this, messages, [this] { addKind(); });
    connectGuarded(ui->changeButton, &QPushButton::clicked, this, messages, [this] { changeOrChoose(); });
    connectGuarded(ui->deleteButton, &QPushButton::clicked, this, messages, [this] { deleteKind(); });
    connectGuarded(ui->grid, &QAbstractItemView::doubleClicked, this, messages, [this] { changeOrChoose(); });
    connect(ui->exitButton, &QPushButton::clicked, this, &QDialog::reject);
}

OperationKindListWindow::~OperationKindListWindow() = default;

void OperationKindListWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (ui->searchEdit->isVisible())
        ui->searchEdit->setFocus();
}

void OperationKindListWindow::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    // Each time the window becomes active (also back from an editor or a picker).
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && ui->searchEdit->isVisible())
        ui->searchEdit->setFocus();
}

void OperationKindListWindow::openForMaintenance()
{
    Dataset *kinds = m_context.data->vidOper();
    m_mode = Mode::Maintenance;
    kinds->open();
    ui->changeButton->setText(QStringLiteral("Изменить"));
    ui->changeButton->setDefault(false);
    ui->addButton->setDefault(true);
    ui->addButton->show();
    ui->deleteButton->show();
    ui->searchEdit->hide();
    m_context.services.exec(this);
    kinds->close();
}

std::optional<OperationKindListWindow::Choice> OperationKindListWindow::pickKind()
{
    Dataset *kinds = m_context.data->vidOper();
    m_mode = Mode::Selection;
    m_choice.reset();
    kinds->open();
    ui->changeButton->setText(QStringLiteral("Выбрать"));
    ui->addButton->setDefault(false);
    ui->changeButton->setDefault(true);
    ui->addButton->hide();
    ui->deleteButton->hide();
    ui->searchEdit->show();
    ui->searchEdit->clear(); // switches the filter off
    kinds->setFiltered(false);
    m_context.services.exec(this);
    ui->changeButton->setDefault(false);
    ui->searchEdit->hide();
    // The next maintenance opening shows the whole list, not a search it cannot see.
    kinds->setFiltered(false);
    kinds->close();
    return m_choice;
}

void OperationKindListWindow::addKind()
{
    if (m_mode != Mode::Maintenance)
        return;
    m_context.windows->get<OperationKindEditor>()->add();
}

void OperationKindListWindow::changeOrChoose()
{
    Dataset *kinds = m_context.data->vidOper();
    if (m_mode == Mode::Selection) {
        m_choice = kinds->isEmpty() ? Choice{}
                                    : Choice{kinds->asString(QStringLiteral("vid")).trimmed(),
                                             int(kinds->asInt(QStringLiteral("id")))};
        accept();
        return;
    }
    if (kinds->isEmpty()) // nothing to change
        return;
    m_context.windows->get<OperationKindEditor>()->change(int(kinds->asInt(QStringLiteral("id"))),
                                                         kinds->asString(QStringLiteral("vid")));
}

void OperationKindListWindow::deleteKind()
{
    Dataset *kinds = m_context.data->vidOper();
    if (m_mode != Mode::Maintenance || kinds->isEmpty())
        return;
    MessageService *messages = m_context.services.messages;
    if (!messages->ask(QStringLiteral("Удаление"), QStringLiteral("Удалить вид операции?")))
        return;
    const int id = int(kinds->asInt(QStringLiteral("id")));
    QString refusal;
    {
        // Operations name their kind; entries reach theirs through them. A kind still in use stays.
        Transaction transaction(m_context.data->connection());
        transaction.lock(locks::book(locks::OperationKinds));
        QSqlQuery used = execBound(&m_context.data->connection(),
                                   QStringLiteral("select count(*) from accounts_dep.oper where vid = ?"), {id});
        used.next();
        const qint64 operations = used.value(0).toLongLong();
        if (operations > 0) {
            refusal = QStringLiteral("Вид операции используется в операциях (%1), удалить его нельзя.")
                                .arg(operations);
        } else {
            try {
                kinds->remove();
                transaction.commit();
            } catch (...) {
                // The list shows what the database holds, not the failed attempt.
                kinds->close();
                kinds->open();
                throw;
            }
        }
    }
    if (!refusal.isEmpty()) { // shown once the lock is gone
        messages->error(QStringLiteral("Ошибка"), refusal);
        return;
    }
    kinds->close();
    kinds->open();
}

} // namespace tabel
