#include "refbooks/operationlistwindow.h"

#include "ui_operationlistwindow.h"

#include "data/command.h"
#include "data/datamodule.h"
#include "data/locks.h"
#include "data/productkind.h"
#include "data/sqlexec.h"
#include "data/sqlparams.h"
#include "data/transaction.h"
#include "refbooks/listsearch.h"
#include "refbooks/normswindow.h"
#include "refbooks/operationeditor.h"
#include "reports/spreadsheet.h"
#include "ui/datasetmodel.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QLocale>
#include <QShowEvent>
#include <QSqlQuery>

namespace tabel {

OperationRow OperationRow::current(const Dataset *oper)
{
    OperationRow r;
    r.id = int(oper->asInt(QStringLiteral("id")));
    r.productId = oper->asInt(QStringLiteral("i_id"));
    r.kindId = int(oper->asInt(QStringLiteral("oper_vid")));
    r.mark = oper->asString(QStringLiteral("MARKA"));
    r.kind = oper->asString(QStringLiteral("VID"));
    r.naimen = int(oper->asInt(QStringLiteral("NAIMEN")));
    r.norms = oper->asInt(QStringLiteral("norma"));
    r.price = oper->asDouble(QStringLiteral("cena"));
    return r;
}

OperationListWindow::OperationListWindow(const AppContext &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::OperationListWindow>()), m_context(context),
      m_spreadsheet(std::make_unique<Spreadsheet>(context.services.messages))
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Fixed, Placement::MainWindowCentre);
    MessageService *messages = m_context.services.messages;
    Dataset *operations = m_context.data->oper();

    m_model = new DatasetModel(this);
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    m_model->setColumns({{QStringLiteral("Марка"), QStringLiteral("MARKA"), left, 170},
                         {QStringLiteral("Опреция"), QStringLiteral("VID"), left, 190},
                         {QStringLiteral("Цена (min)"), QStringLiteral("cena"), right, 90},
                         {QStringLiteral("Вид"), QStringLiteral("nmn"), left, 140},
                         {QStringLiteral("Нормы (шт.)"), QStringLiteral("norma"), right, 90},
                         {QStringLiteral("id"), QStringLiteral("id"), right, 50, false},
                         {QStringLiteral("i_id"), QStringLiteral("i_id"), right, 50, false},
                         {QStringLiteral("oper_vid"), QStringLiteral("oper_vid"), right, 50, false}});
    m_model->setDataset(operations);
    m_model->attach(ui->grid);
    new SearchKeys(ui->searchEdit, operations, SearchKeys::Keys::TypingOnly);

    m_xlsRep = new Dataset(&m_context.data->connection(), QStringLiteral("XLS_Rep"), this);
    m_xlsRep->setSql({
        QStringLiteral(
            "select izdel.MARKA, vid_oper.VID, oper.NAIMEN,(SELECT (CASE naimen WHEN 0 THEN 'Готовая "
            "продукция' ELSE 'Заготовки' END)) as nmn, oper.CENA_new as cena, oper.id, oper.i_id,"),
        QStringLiteral(
            " oper.VID as oper_vid from accounts_dep.OPER,accounts_dep.IZDEL,accounts_dep.VID_OPER where "
            "OPER.i_id=IZDEL.id "),
        QStringLiteral("and oper.vid=vid_oper.id order by izdel.marka, vid_oper.vid, oper.naimen"),
    });

    connectGuarded(
        ui->searchEdit, &QLineEdit::textChanged, this, messages, [operations](const QString &text) {
            // Blanks alone show everything; any other text is used as typed.
            applySearch(operations, QStringLiteral("marka"), text.trimmed().isEmpty() ? QString() : text);
        });
    connectGuarded(ui->addButton, &QPushButton::clicked, this, messages, [this] { addOperation(); });
    connectGuarded(ui->changeButton, &QPushButton::clicked, this, messages, [this] { changeOrChoose(); });
    connectGuarded(ui->deleteButton, &QPushButton::clicked, this, messages, [this] { deleteOperation(); });
    connectGuarded(ui->excelButton, &QPushButton::clicked, this, messages, [this] { exportToSpreadsheet(); });
    connectGuarded(ui->grid, &QAbstractItemView::doubleClicked, this, messages, [this] { doubleClicked(); });
    connect(ui->exitButton, &QPushButton::clicked, this, &QDialog::reject);
}

OperationListWindow::~OperationListWindow() = default;

void OperationListWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (ui->searchEdit->isVisible())
        ui->searchEdit->setFocus();
}

void OperationListWindow::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    // Each time the window becomes active (also back from an editor or a picker).
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && ui->searchEdit->isVisible())
        ui->searchEdit->setFocus();
}

void OperationListWindow::openForMaintenance()
{
    Dataset *operations = m_context.data->oper();
    m_mode = Mode::Maintenance;
    operations->open();
    ui->changeButton->setText(QStringLiteral("Изменить"));
    ui->changeButton->setDefault(false);
    ui->addButton->setDefault(true);
    ui->addButton->show();
    ui->deleteButton->show();
    ui->searchEdit->setVisible(!m_searchHidden);
    m_context.services.exec(this);
    operations->close();
}

std::optional<OperationRow> OperationListWindow::pickOperation(std::optional<int> currentOperation)
{
    Dataset *operations = m_context.data->oper();
    m_mode = Mode::Selection;
    m_choice.reset();
    operations->open();
    ui->searchEdit->clear(); // switches the filter off
    operations->setFiltered(false);
    // A new entry starts on the first row; an entry's own operation, when it is gone, leaves the
    // list where it was.
    if (!currentOperation)
        operations->first();
    else
        operations->locate(QStringLiteral("id"), *currentOperation);
    ui->changeButton->setText(QStringLiteral("Выбрать"));
    ui->addButton->hide();
    ui->deleteButton->hide();
    ui->addButton->setDefault(false);
    ui->changeButton->setDefault(true);
    ui->searchEdit->show();
    m_context.services.exec(this);
    ui->changeButton->setDefault(false);
    ui->searchEdit->hide();
    m_searchHidden = true;
    // Oper stays open on the row handed back, also when the search had filtered it: the entry
    // editor's base price reads it.
    operations->setFiltered(false);
    if (m_choice)
        operations->locate(QStringLiteral("id"), m_choice->id);
    return m_choice;
}

void OperationListWindow::doubleClicked()
{
    if (m_mode == Mode::Maintenance && ui->pricesCheck->isChecked()) {
        Dataset *operations = m_context.data->oper();
        if (!operations->isEmpty())
            m_context.windows->get<NormsWindow>()->openForOperation(
                int(operations->asInt(QStringLiteral("id"))));
        return;
    }
    changeOrChoose();
}

void OperationListWindow::addOperation()
{
    if (m_mode != Mode::Maintenance)
        return;
    m_context.windows->get<OperationEditor>()->add();
}

void OperationListWindow::changeOrChoose()
{
    Dataset *operations = m_context.data->oper();
    if (m_mode == Mode::Selection) {
        if (!operations->isEmpty())
            m_choice = OperationRow::current(operations);
        accept();
        return;
    }
    if (operations->isEmpty()) // nothing to change
        return;
    m_context.windows->get<OperationEditor>()->change(OperationRow::current(operations));
}

void OperationListWindow::deleteOperation()
{
    Dataset *operations = m_context.data->oper();
    if (m_mode != Mode::Maintenance || operations->isEmpty())
        return;
    MessageService *messages = m_context.services.messages;
    if (!messages->ask(QStringLiteral("Удаление"), QStringLiteral("Удалить операцию?")))
        return;
    const int id = int(operations->asInt(QStringLiteral("id")));
    Connection *connection = &m_context.data->connection();
    QString refusal;
    {
        // Entries reach their product and kind through their operation: one still in use stays.
        Transaction transaction(*connection);
        transaction.lock(locks::book(locks::Operations));
        QSqlQuery used = execBound(
            connection, QStringLiteral("select count(*) from accounts_dep.smena where o_id = ?"), {id});
        used.next();
        const qint64 entries = used.value(0).toLongLong();
        if (entries > 0) {
            refusal = QStringLiteral("Операция используется в записях (%1), удалить её нельзя.").arg(entries);
        } else {
            Command *del = m_context.data->operDel();
            del->setParam(QStringLiteral("id"), id);
            del->execute();
            // Its norms go with it: left behind they would belong to no operation.
            execBound(&m_context.data->connection(),
                      QStringLiteral("delete from accounts_dep.norm where o_id = ?"), {id});
            transaction.commit();
        }
    }
    if (!refusal.isEmpty()) { // shown once the lock is gone
        messages->error(QStringLiteral("Ошибка"), refusal);
        return;
    }
    operations->close();
    operations->open();
}

void OperationListWindow::exportToSpreadsheet()
{
    Spreadsheet &xls = *m_spreadsheet;
    {
        WaitCursor wait;
        m_xlsRep->close();
        m_xlsRep->open();
        if (xls.openWorkbook(QStringLiteral("Операции")) == -1) {
            m_xlsRep->close();
            return;
        }
        xls.writeCell(1, 1, 1, QStringLiteral("Марка"));
        xls.writeCell(1, 2, 1, QStringLiteral("Операция"));
        xls.writeCell(1, 3, 1, QStringLiteral("Цена"));
        xls.writeCell(1, 4, 1, QStringLiteral("Вид"));
        try {
            int row = 2;
            for (m_xlsRep->first(); !m_xlsRep->eof(); m_xlsRep->next(), ++row) {
                xls.writeText(1, 1, row, m_xlsRep->asString(QStringLiteral("MARKA")));
                xls.writeText(1, 2, row, m_xlsRep->asString(QStringLiteral("VID")));
                xls.writeCell(1, 3, row,
                              QLocale().toString(m_xlsRep->asDouble(QStringLiteral("cena")), 'g', 15));
                xls.writeText(1, 4, row, productKindText(m_xlsRep->asInt(QStringLiteral("NAIMEN"))));
            }
        } catch (...) {
            // No half-written file is left behind; the error is shown by the action's guard.
            xls.discard();
            m_xlsRep->close();
            throw;
        }
    }
    xls.setVisible(true);
    m_xlsRep->close();
}

} // namespace tabel
