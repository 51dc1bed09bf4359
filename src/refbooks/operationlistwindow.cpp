#include "refbooks/operationlistwindow.h"

#include "ui_operationlistwindow.h"

#include "data/datamodule.h"
#include "data/productkind.h"
#include "refbooks/normswindow.h"
#include "refbooks/operationeditor.h"
#include "reports/spreadsheet.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QLocale>
#include <QScopeGuard>

namespace tabel {

OperationListWindow::OperationListWindow(const AppContext &context, QWidget *parent)
    : BookListWindow(context, parent), ui(std::make_unique<Ui::OperationListWindow>()),
      m_spreadsheet(std::make_unique<Spreadsheet>())
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Fixed, Placement::MainWindowCentre);
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    setUpList(m_context.data->oper(),
              {ui->grid, ui->searchEdit, ui->addButton, ui->changeButton, ui->deleteButton, ui->exitButton},
              {{QStringLiteral("Марка"), QStringLiteral("MARKA"), left, 170},
               {QStringLiteral("Опреция"), QStringLiteral("VID"), left, 190},
               {QStringLiteral("Цена (min)"), QStringLiteral("cena"), right, 90},
               {QStringLiteral("Вид"), QStringLiteral("nmn"), left, 140},
               {QStringLiteral("Нормы (шт.)"), QStringLiteral("norma"), right, 90},
               {QStringLiteral("id"), QStringLiteral("id"), right, 50, false},
               {QStringLiteral("i_id"), QStringLiteral("i_id"), right, 50, false},
               {QStringLiteral("oper_vid"), QStringLiteral("oper_vid"), right, 50, false}},
              QStringLiteral("marka"), SearchKeys::Keys::TypingOnly,
              // Blanks alone show everything; any other text is used as typed.
              [](const QString &text) { return text.trimmed().isEmpty() ? QString() : text; });

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

    MessageService *messages = m_context.services.messages;
    connectGuarded(ui->deleteButton, &QPushButton::clicked, this, messages, [this] { deleteOperation(); });
    connectGuarded(ui->excelButton, &QPushButton::clicked, this, messages, [this] { exportToSpreadsheet(); });
}

OperationListWindow::~OperationListWindow() = default;

void OperationListWindow::openForMaintenance()
{
    prepareMaintenance();
    ui->searchEdit->setVisible(!m_searchHidden);
    run();
    m_rows->close();
}

std::optional<OperationRow> OperationListWindow::pickOperation(std::optional<int> currentOperation)
{
    prepareSelection();
    // A new entry starts on the first row; an entry's own operation, when it is gone, leaves the
    // list where it was.
    if (!currentOperation)
        m_rows->first();
    else
        m_rows->locate(QStringLiteral("id"), *currentOperation);
    run();
    ui->changeButton->setDefault(false);
    ui->searchEdit->hide();
    m_searchHidden = true;
    // Oper stays open on the row handed back, also when the search had filtered it: the entry
    // editor's base price reads it.
    m_rows->setFiltered(false);
    if (m_choice)
        m_rows->locate(QStringLiteral("id"), m_choice->id);
    return m_choice;
}

void OperationListWindow::doubleClicked()
{
    if (m_mode == Mode::Maintenance && ui->pricesCheck->isChecked()) {
        if (!m_rows->isEmpty())
            m_context.windows->get<NormsWindow>()->openForOperation(int(m_rows->asInt(QStringLiteral("id"))));
        return;
    }
    changeOrChoose();
}

void OperationListWindow::addRow()
{
    m_context.windows->get<OperationEditor>()->add();
}

void OperationListWindow::changeRow()
{
    m_context.windows->get<OperationEditor>()->change(OperationRow::current(m_rows));
}

void OperationListWindow::chooseRow()
{
    if (!m_rows->isEmpty())
        m_choice = OperationRow::current(m_rows);
}

void OperationListWindow::deleteOperation()
{
    if (deleteCurrent(QStringLiteral("Удалить операцию?"),
                      [](BookStore &store, qint64 id) { return store.deleteOperation(int(id)); })) {
        m_rows->close();
        m_rows->open();
    }
}

void OperationListWindow::exportToSpreadsheet()
{
    MessageService *messages = m_context.services.messages;
    std::optional<Workbook> book;
    {
        WaitCursor wait;
        m_xlsRep->close();
        const auto closeQuery = qScopeGuard([this] { m_xlsRep->close(); });
        m_xlsRep->open();
        book.emplace(m_spreadsheet->create(QStringLiteral("Операции")));
        if (!book->isOpen()) {
            showSpreadsheetProblem(messages, *book->problem());
            return;
        }
        book->write(1, 1, QStringLiteral("Марка"));
        book->write(2, 1, QStringLiteral("Операция"));
        book->write(3, 1, QStringLiteral("Цена"));
        book->write(4, 1, QStringLiteral("Вид"));
        int row = 2;
        for (m_xlsRep->first(); !m_xlsRep->eof(); m_xlsRep->next(), ++row) {
            book->write(1, row, m_xlsRep->asString(QStringLiteral("MARKA")), CellOption::Text);
            book->write(2, row, m_xlsRep->asString(QStringLiteral("VID")), CellOption::Text);
            book->write(3, row, QLocale().toString(m_xlsRep->asDouble(QStringLiteral("cena")), 'g', 15));
            book->write(4, row, productKindText(m_xlsRep->asInt(QStringLiteral("NAIMEN"))), CellOption::Text);
        }
    }
    if (const auto problem = m_spreadsheet->deliver(*book))
        showSpreadsheetProblem(messages, *problem);
}

} // namespace tabel
