#include "refbooks/operationkindeditor.h"

#include "ui_operationkindeditor.h"

#include "data/datamodule.h"
#include "shop/bookstore.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowsetup.h"

#include <QShowEvent>

namespace tabel {

OperationKindEditor::OperationKindEditor(const AppContext &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::OperationKindEditor>()), m_context(context)
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Fixed, Placement::MainWindowCentre);
    connectGuarded(ui->saveButton, &QPushButton::clicked, this, m_context.services.messages,
                   [this] { save(); });
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

OperationKindEditor::~OperationKindEditor() = default;

bool OperationKindEditor::add()
{
    m_mode = Mode::Add;
    m_id = 0;
    ui->nameEdit->clear();
    setWindowTitle(QStringLiteral("Заведение нового вида операций"));
    return m_context.services.exec(this) == QDialog::Accepted;
}

bool OperationKindEditor::change(int id, const QString &name)
{
    m_mode = Mode::Change;
    m_id = id;
    setWindowTitle(QStringLiteral("Изменение данных вида операции"));
    ui->nameEdit->setText(name.trimmed());
    return m_context.services.exec(this) == QDialog::Accepted;
}

void OperationKindEditor::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    ui->nameEdit->setFocus();
}

void OperationKindEditor::save()
{
    const BookResult result =
        BookStore(m_context.data).saveKind({m_mode == Mode::Add ? 0 : m_id, ui->nameEdit->text()});
    if (result.refused()) {
        m_context.services.messages->error(QStringLiteral("Ошибка"), result.refusal);
        return;
    }
    Dataset *kinds = m_context.data->vidOper();
    kinds->close();
    kinds->open();
    accept();
}

} // namespace tabel
