#include "refbooks/operationeditor.h"

#include "ui_operationeditor.h"

#include "data/datamodule.h"
#include "refbooks/operationkindlistwindow.h"
#include "refbooks/operationlistwindow.h"
#include "refbooks/productlistwindow.h"
#include "shop/bookstore.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QShowEvent>

namespace tabel {

OperationEditor::OperationEditor(const AppContext &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::OperationEditor>()), m_context(context)
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Sizable, Placement::MainWindowCentre);
    MessageService *messages = m_context.services.messages;
    connectGuarded(ui->productButton, &QPushButton::clicked, this, messages, [this] { pickProduct(); });
    connectGuarded(ui->kindButton, &QPushButton::clicked, this, messages, [this] { pickKind(); });
    connectGuarded(ui->saveButton, &QPushButton::clicked, this, messages, [this] { save(); });
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

OperationEditor::~OperationEditor() = default;

bool OperationEditor::add()
{
    m_mode = Mode::Add;
    m_id = 0;
    ui->productEdit->clear();
    ui->kindEdit->clear();
    ui->productKindCombo->setCurrentIndex(0);
    setWindowTitle(QStringLiteral("Заведение новой цены за операцию"));
    return m_context.services.exec(this) == QDialog::Accepted;
}

bool OperationEditor::change(const OperationRow &row)
{
    m_mode = Mode::Change;
    m_id = row.id;
    setWindowTitle(QStringLiteral("Изменение данных о цене за операцию"));
    ui->productEdit->setText(row.mark.trimmed());
    ui->kindEdit->setText(row.kind.trimmed());
    ui->productKindCombo->setCurrentIndex(row.naimen == 0 ? 0 : 1);
    m_productId = row.productId;
    m_kindId = row.kindId;
    return m_context.services.exec(this) == QDialog::Accepted;
}

void OperationEditor::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    ui->productButton->setFocus();
}

void OperationEditor::pickProduct()
{
    if (const auto choice = m_context.windows->get<ProductListWindow>()->pickProduct()) {
        ui->productEdit->setText(choice->mark);
        m_productId = choice->id;
    }
}

void OperationEditor::pickKind()
{
    if (const auto choice = m_context.windows->get<OperationKindListWindow>()->pickKind()) {
        ui->kindEdit->setText(choice->name);
        m_kindId = choice->id;
    }
}

void OperationEditor::save()
{
    MessageService *messages = m_context.services.messages;
    if (ui->productEdit->text().trimmed().isEmpty() || ui->kindEdit->text().trimmed().isEmpty()) {
        messages->error(QStringLiteral("Ошибка"), QStringLiteral("Все поля должны быть заполнены!"));
        return;
    }
    OperationRow row;
    row.id = m_mode == Mode::Add ? 0 : m_id;
    row.productId = m_productId;
    row.kindId = m_kindId;
    row.naimen = ui->productKindCombo->currentIndex();
    const BookResult result = BookStore(m_context.data).saveOperation(row);
    if (result.refused()) {
        messages->error(QStringLiteral("Ошибка"), result.refusal);
        return;
    }
    Dataset *operations = m_context.data->oper();
    operations->close();
    operations->open();
    accept();
}

} // namespace tabel
