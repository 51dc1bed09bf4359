#include "refbooks/operationkindeditor.h"

#include "ui_operationkindeditor.h"

#include "data/dataerror.h"
#include "data/datamodule.h"
#include "data/inputcheck.h"
#include "data/locks.h"
#include "data/sqlparams.h"
#include "data/transaction.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowsetup.h"

#include <QLocale>
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
    const QString name = ui->nameEdit->text().trimmed();
    if (name.isEmpty()) {
        m_context.services.messages->error(QStringLiteral("Ошибка"),
                                           QStringLiteral("Все поля должны быть заполнены!"));
        return;
    }
    if (const QString refusal = textRefusal(QStringLiteral("Операция"), name, 128); !refusal.isEmpty()) {
        m_context.services.messages->error(QStringLiteral("Ошибка"), refusal);
        return;
    }
    DataModule *data = m_context.data;
    Dataset *kinds = data->vidOper();
    QString statement =
        QStringLiteral("select count(*) as cnt from accounts_dep.vid_oper where upper(vid)=") +
        quoted(QLocale().toUpper(name));
    if (m_mode == Mode::Change)
        statement += QStringLiteral(" and id<>") + QString::number(m_id);
    bool duplicate = false;
    {
        // The check and the write under the book's lock: two clients cannot both add the same name.
        // The lock goes before any message is shown, so that nobody waits on an open box.
        Transaction transaction(data->connection());
        transaction.lock(locks::book(locks::OperationKinds));
        duplicate = data->duplicateCount(statement) > 0;
        if (!duplicate) {
            if (m_mode == Mode::Add) {
                kinds->insert();
            } else {
                if (!kinds->locate(QStringLiteral("id"), m_id))
                    throw DataError(QStringLiteral("Вид операции не найден: его удалил другой пользователь"));
                kinds->edit();
            }
            try {
                kinds->setValue(QStringLiteral("vid"), name);
                kinds->post();
                transaction.commit();
            } catch (...) {
                // Nothing was written: the list is read again, the editor stays open with the text.
                kinds->cancel();
                kinds->close();
                kinds->open();
                throw;
            }
        }
    }
    if (duplicate) {
        m_context.services.messages->error(QStringLiteral("Ошибка"),
                                           QStringLiteral("Такая операция уже заведена!"));
        return;
    }
    kinds->close();
    kinds->open();
    accept();
}

} // namespace tabel
