#include "refbooks/productlistwindow.h"

#include "ui_productlistwindow.h"

#include "data/datamodule.h"
#include "refbooks/producteditor.h"
#include "ui/guard.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

namespace tabel {

ProductListWindow::ProductListWindow(const AppContext &context, QWidget *parent)
    : BookListWindow(context, parent), ui(std::make_unique<Ui::ProductListWindow>())
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Fixed, Placement::MainWindowCentre);
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    setUpList(m_context.data->izdel(),
              {ui->grid, ui->searchEdit, ui->addButton, nullptr, ui->deleteButton, ui->exitButton},
              {{QStringLiteral("Марка изделия"), QStringLiteral("marka"), left, 300},
               {QStringLiteral("Коробки"), QStringLiteral("massa"), left, 90}},
              QStringLiteral("marka"), SearchKeys::Keys::UpDownOnly);
    ui->searchEdit->hide();
    connectGuarded(ui->deleteButton, &QPushButton::clicked, this, m_context.services.messages,
                   [this] { deleteProduct(); });
}

ProductListWindow::~ProductListWindow() = default;

void ProductListWindow::openForMaintenance()
{
    prepareMaintenance();
    ui->searchEdit->hide();
    run();
    m_rows->close();
}

std::optional<ProductListWindow::Choice> ProductListWindow::pickProduct()
{
    prepareSelection();
    run();
    ui->searchEdit->hide();
    // The next maintenance opening shows the whole list, not a search it cannot see.
    m_rows->setFiltered(false);
    m_rows->close();
    return m_choice;
}

void ProductListWindow::addRow()
{
    const int recNo = m_rows->recNo();
    m_context.windows->get<ProductEditor>()->add();
    returnTo(recNo); // the editor read the list again
}

void ProductListWindow::changeRow()
{
    const int recNo = m_rows->recNo();
    m_context.windows->get<ProductEditor>()->change(m_rows->asInt(QStringLiteral("id")),
                                                    m_rows->asString(QStringLiteral("marka")),
                                                    m_rows->asDouble(QStringLiteral("massa")));
    returnTo(recNo); // the editor read the list again
}

void ProductListWindow::chooseRow()
{
    // An empty list chooses nothing: the editor's product box is emptied.
    m_choice = m_rows->isEmpty() ? Choice{}
                                 : Choice{m_rows->asString(QStringLiteral("marka")).trimmed(),
                                          m_rows->asInt(QStringLiteral("id"))};
}

void ProductListWindow::deleteProduct()
{
    if (deleteCurrent(QStringLiteral("Удалить изделие?"),
                      [](BookStore &store, qint64 id) { return store.deleteProduct(id); }))
        m_rows->refresh();
}

} // namespace tabel
