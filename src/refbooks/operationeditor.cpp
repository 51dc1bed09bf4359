#include "refbooks/operationeditor.h"

#include "ui_operationeditor.h"

#include "data/command.h"
#include "data/dataerror.h"
#include "data/datamodule.h"
#include "data/locks.h"
#include "data/sqlexec.h"
#include "data/transaction.h"
#include "refbooks/operationkindlistwindow.h"
#include "refbooks/operationlistwindow.h"
#include "refbooks/productlistwindow.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QShowEvent>
#include <QSqlQuery>

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
    DataModule *data = m_context.data;
    Connection *connection = &data->connection();
    const QString kind = QString::number(m_kindId);
    const QString naimen = QString::number(ui->productKindCombo->currentIndex());
    const QString product = QString::number(m_productId);
    const QString statement =
        m_mode == Mode::Add
            ? QStringLiteral("select count(ID) as cnt from accounts_dep.OPER where vid=") + kind +
                  QStringLiteral(" and naimen=") + naimen + QStringLiteral(" and i_id=") + product
            : QStringLiteral("select count(*) as cnt from accounts_dep.OPER where vid=") + kind +
                  QStringLiteral(" and naimen=") + naimen + QStringLiteral(" and i_id=") + product +
                  QStringLiteral(" and id<>") + QString::number(m_id);
    QString refusal;
    {
        // In the order every book takes them: the product and the kind cannot go meanwhile, and two
        // clients cannot both add the same operation. Messages wait until the locks are gone.
        Transaction transaction(*connection);
        transaction.lock(locks::book(locks::Products));
        transaction.lock(locks::book(locks::OperationKinds));
        transaction.lock(locks::book(locks::Operations));
        QSqlQuery exists =
            execBound(connection,
                      QStringLiteral("select (select count(*) from accounts_dep.izdel where id = ?), "
                                     "(select count(*) from accounts_dep.vid_oper where id = ?)"),
                      {m_productId, m_kindId});
        exists.next();
        if (exists.value(0).toLongLong() == 0 || exists.value(1).toLongLong() == 0)
            refusal = QStringLiteral("Изделие или вид операции больше не существует. Выберите их заново.");
        else if (data->duplicateCount(statement) > 0)
            refusal = QStringLiteral("Операция с такими параметрами уже заведена!");
        if (refusal.isEmpty()) {
            if (m_mode == Mode::Add) {
                Command *ins = data->operIns();
                ins->setText(
                    QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new)values (") +
                    kind + QStringLiteral(", ") + naimen + QStringLiteral(", ") + product +
                    QStringLiteral(", 0)"));
                ins->execute();
            } else {
                Command *ed = data->operEd();
                ed->setText(QStringLiteral("update accounts_dep.oper set vid=") + kind +
                            QStringLiteral(", naimen=") + naimen + QStringLiteral(",  i_id=") + product +
                            QStringLiteral(" where id=") + QString::number(m_id));
                if (ed->execute() == 0)
                    throw DataError(QStringLiteral("Операция не найдена: её удалил другой пользователь"));
            }
            transaction.commit(); // the first norm of a new operation comes with it
        }
    }
    if (!refusal.isEmpty()) {
        messages->error(QStringLiteral("Ошибка"), refusal);
        return;
    }
    Dataset *operations = data->oper();
    operations->close();
    operations->open();
    accept();
}

} // namespace tabel
