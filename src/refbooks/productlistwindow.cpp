#include "refbooks/productlistwindow.h"

#include "ui_productlistwindow.h"

#include "data/command.h"
#include "data/datamodule.h"
#include "data/locks.h"
#include "data/sqlexec.h"
#include "data/transaction.h"
#include "refbooks/listsearch.h"
#include "refbooks/producteditor.h"
#include "ui/datasetmodel.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QShowEvent>
#include <QSqlQuery>

namespace tabel {

ProductListWindow::ProductListWindow(const AppContext &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::ProductListWindow>()), m_context(context)
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Fixed, Placement::MainWindowCentre);
    MessageService *messages = m_context.services.messages;
    Dataset *products = m_context.data->izdel();

    m_model = new DatasetModel(this);
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    m_model->setColumns({{QStringLiteral("Марка изделия"), QStringLiteral("marka"), left, 300},
                         {QStringLiteral("Коробки"), QStringLiteral("massa"), left, 90}});
    m_model->setDataset(products);
    m_model->attach(ui->grid);
    ui->searchEdit->hide();
    new SearchKeys(ui->searchEdit, products, SearchKeys::Keys::UpDownOnly);

    connectGuarded(ui->searchEdit, &QLineEdit::textChanged, this, messages,
                   [products](const QString &text) { applySearch(products, QStringLiteral("marka"), text); });
    connectGuarded(ui->addButton, &QPushButton::clicked, this, messages, [this] { addProduct(); });
    connectGuarded(ui->deleteButton, &QPushButton::clicked, this, messages, [this] { deleteProduct(); });
    connectGuarded(ui->grid, &QAbstractItemView::doubleClicked, this, messages, [this] { changeOrChoose(); });
    connect(ui->exitButton, &QPushButton::clicked, this, &QDialog::reject);
}

ProductListWindow::~ProductListWindow() = default;

void ProductListWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (ui->searchEdit->isVisible())
        ui->searchEdit->setFocus();
}

void ProductListWindow::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    // Each time the window becomes active (also back from an editor or a picker).
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && ui->searchEdit->isVisible())
        ui->searchEdit->setFocus();
}

void ProductListWindow::openForMaintenance()
{
    Dataset *products = m_context.data->izdel();
    m_mode = Mode::Maintenance;
    products->open();
    ui->addButton->show();
    ui->deleteButton->show();
    ui->searchEdit->hide();
    m_context.services.exec(this);
    products->close();
}

std::optional<ProductListWindow::Choice> ProductListWindow::pickProduct()
{
    Dataset *products = m_context.data->izdel();
    m_mode = Mode::Selection;
    m_choice.reset();
    products->open();
    ui->addButton->hide();
    ui->deleteButton->hide();
    ui->searchEdit->show();
    ui->searchEdit->clear(); // switches the filter off
    products->setFiltered(false);
    m_context.services.exec(this);
    ui->searchEdit->hide();
    // The next maintenance opening shows the whole list, not a search it cannot see.
    products->setFiltered(false);
    products->close();
    return m_choice;
}

void ProductListWindow::addProduct()
{
    if (m_mode != Mode::Maintenance)
        return;
    Dataset *products = m_context.data->izdel();
    const int recNo = products->recNo();
    m_context.windows->get<ProductEditor>()->add();
    if (products->isOpen() && !products->isEmpty() && recNo > 0)
        products->setRecNo(std::min(recNo, products->recordCount()));
}

void ProductListWindow::changeOrChoose()
{
    Dataset *products = m_context.data->izdel();
    if (m_mode == Mode::Selection) {
        m_choice = products->isEmpty() ? Choice{}
                                       : Choice{products->asString(QStringLiteral("marka")).trimmed(),
                                                products->asInt(QStringLiteral("id"))};
        accept();
        return;
    }
    if (products->isEmpty())
        return;
    const int recNo = products->recNo();
    m_context.windows->get<ProductEditor>()->change(products->asInt(QStringLiteral("id")),
                                                   products->asString(QStringLiteral("marka")),
                                                   products->asDouble(QStringLiteral("massa")));
    if (products->isOpen() && !products->isEmpty() && recNo > 0)
        products->setRecNo(std::min(recNo, products->recordCount()));
}

void ProductListWindow::deleteProduct()
{
    Dataset *products = m_context.data->izdel();
    if (m_mode != Mode::Maintenance || products->isEmpty())
        return;
    MessageService *messages = m_context.services.messages;
    if (!messages->ask(QStringLiteral("Удаление"), QStringLiteral("Удалить изделие?")))
        return;
    const qint64 id = products->asInt(QStringLiteral("id"));
    Connection *connection = &m_context.data->connection();
    QString refusal;
    {
        // Operations and entries name their product; the register, the reports and the time sheet
        // would silently lose what still uses it. Such a product stays.
        Transaction transaction(*connection);
        transaction.lock(locks::book(locks::Products));
        QSqlQuery used = execBound(connection,
                                   QStringLiteral("select (select count(*) from accounts_dep.oper where i_id = ?), "
                                                  "(select count(*) from accounts_dep.smena where i_id = ?)"),
                                   {id, id});
        used.next();
        const qint64 operations = used.value(0).toLongLong();
        const qint64 entries = used.value(1).toLongLong();
        if (operations > 0 || entries > 0) {
            refusal = QStringLiteral("Изделие используется (операций: %1, записей: %2), удалить его нельзя.")
                                .arg(operations)
                                .arg(entries);
        } else {
            Command *del = m_context.data->delSmena();
            del->setText(QStringLiteral("delete from cmn_gds_and_srv.gds_and_srv  where id=") + QString::number(id));
            del->execute();
            transaction.commit();
        }
    }
    if (!refusal.isEmpty()) { // shown once the lock is gone
        messages->error(QStringLiteral("Ошибка"), refusal);
        return;
    }
    products->refresh();
}

} // namespace tabel
