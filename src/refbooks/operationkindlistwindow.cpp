#include "refbooks/operationkindlistwindow.h"

#include "ui_operationkindlistwindow.h"

#include "data/datamodule.h"
#include "refbooks/operationkindeditor.h"
#include "ui/guard.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QHeaderView>

namespace tabel {

OperationKindListWindow::OperationKindListWindow(const AppContext &context, QWidget *parent)
    : BookListWindow(context, parent), ui(std::make_unique<Ui::OperationKindListWindow>())
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Sizable, Placement::MainWindowCentre);
    setUpList(m_context.data->vidOper(),
              {ui->grid, ui->searchEdit, ui->addButton, ui->changeButton, ui->deleteButton, ui->exitButton},
              {{QStringLiteral("Операции"), QStringLiteral("vid"), Qt::AlignLeft | Qt::AlignVCenter, 300}},
              QStringLiteral("vid"), SearchKeys::Keys::TypingOnly);
    ui->grid->horizontalHeader()->setStretchLastSection(true);
    ui->searchEdit->hide();
    connectGuarded(ui->deleteButton, &QPushButton::clicked, this, m_context.services.messages,
                   [this] { deleteKind(); });
}

OperationKindListWindow::~OperationKindListWindow() = default;

void OperationKindListWindow::openForMaintenance()
{
    prepareMaintenance();
    ui->searchEdit->hide();
    run();
    m_rows->close();
}

std::optional<OperationKindListWindow::Choice> OperationKindListWindow::pickKind()
{
    prepareSelection();
    run();
    ui->changeButton->setDefault(false);
    ui->searchEdit->hide();
    // The next maintenance opening shows the whole list, not a search it cannot see.
    m_rows->setFiltered(false);
    m_rows->close();
    return m_choice;
}

void OperationKindListWindow::addRow()
{
    m_context.windows->get<OperationKindEditor>()->add();
}

void OperationKindListWindow::changeRow()
{
    m_context.windows->get<OperationKindEditor>()->change(int(m_rows->asInt(QStringLiteral("id"))),
                                                          m_rows->asString(QStringLiteral("vid")));
}

void OperationKindListWindow::chooseRow()
{
    m_choice = m_rows->isEmpty() ? Choice{}
                                 : Choice{m_rows->asString(QStringLiteral("vid")).trimmed(),
                                          int(m_rows->asInt(QStringLiteral("id")))};
}

void OperationKindListWindow::deleteKind()
{
    if (deleteCurrent(QStringLiteral("Удалить вид операции?"),
                      [](BookStore &store, qint64 id) { return store.deleteKind(int(id)); })) {
        m_rows->close(); // back on the first row
        m_rows->open();
    }
}

} // namespace tabel
