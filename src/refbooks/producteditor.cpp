#include "refbooks/producteditor.h"

#include "ui_producteditor.h"

#include "data/command.h"
#include "data/dataerror.h"
#include "data/datamodule.h"
#include "data/inputcheck.h"
#include "data/locks.h"
#include "data/sqlparams.h"
#include "data/transaction.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowsetup.h"

#include <QKeyEvent>
#include <QLocale>
#include <QShowEvent>

namespace tabel {

ProductEditor::ProductEditor(const AppContext &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::ProductEditor>()), m_context(context)
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Fixed, Placement::MainWindowCentre);
    ui->numberEdit->installEventFilter(this);
    connectGuarded(ui->saveButton, &QPushButton::clicked, this, m_context.services.messages,
                   [this] { save(); });
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

ProductEditor::~ProductEditor() = default;

bool ProductEditor::add()
{
    m_mode = Mode::Add;
    m_id = 0;
    ui->markEdit->clear();
    ui->numberEdit->clear();
    setWindowTitle(QStringLiteral("Заведение нового изделия"));
    return m_context.services.exec(this) == QDialog::Accepted;
}

bool ProductEditor::change(qint64 id, const QString &mark, double number)
{
    m_mode = Mode::Change;
    m_id = id;
    setWindowTitle(QStringLiteral("Изменение данных изделия"));
    ui->markEdit->setText(mark.trimmed());
    ui->numberEdit->setText(QLocale().toString(number, 'g', 15));
    return m_context.services.exec(this) == QDialog::Accepted;
}

void ProductEditor::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    ui->markEdit->setFocus();
}

bool ProductEditor::eventFilter(QObject *watched, QEvent *event)
{
    // The number box: digits and Backspace as typed, a point or a comma as a comma, no other character.
    if (watched == ui->numberEdit && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        if (text.size() != 1 || !text.at(0).isPrint() || key->modifiers() & Qt::ControlModifier)
            return false; // not a character: arrows, Delete, Backspace, Tab, Enter, the clipboard
        const QChar c = text.at(0);
        if (c.isDigit() && c.unicode() < 128)
            return false;
        if (c == QLatin1Char('.') || c == QLatin1Char(','))
            ui->numberEdit->insert(QStringLiteral(","));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ProductEditor::save()
{
    MessageService *messages = m_context.services.messages;
    const QString mark = ui->markEdit->text().trimmed();
    const QString numberText = ui->numberEdit->text().trimmed();
    if (mark.isEmpty() || numberText.isEmpty()) {
        messages->error(QStringLiteral("Ошибка"), QStringLiteral("Все поля должны быть заполнены!"));
        return;
    }
    if (const QString refusal = textRefusal(QStringLiteral("Марка"), mark, 254); !refusal.isEmpty()) {
        messages->error(QStringLiteral("Ошибка"), refusal);
        return;
    }
    const std::optional<double> number = typedNumber(numberText);
    if (!number) {
        messages->error(QStringLiteral("Ошибка"),
                        QStringLiteral("Расценка «%1» не является числом.").arg(numberText));
        return;
    }
    DataModule *data = m_context.data;
    QString statement = QStringLiteral("select count(*) as cnt from accounts_dep.izdel where upper(marka)=") +
                        quoted(QLocale().toUpper(mark));
    if (m_mode == Mode::Change)
        statement += QStringLiteral("and id<>") + QString::number(m_id);
    bool duplicate = false;
    {
        // The check and the write under the book's lock: two clients cannot both add the same mark.
        // The lock goes before any message is shown, so that nobody waits on an open box.
        Transaction transaction(data->connection());
        transaction.lock(locks::book(locks::Products));
        duplicate = data->duplicateCount(statement) > 0;
        if (!duplicate) {
            Command *sql = data->sqlExec();
            if (m_mode == Mode::Add) {
                sql->setText(
                    QStringLiteral("INSERT INTO cmn_gds_and_srv.gds_and_srv(s_caption, s_description, "
                                   "id_msm_bs, massa)VALUES(") +
                    quoted(mark) + QStringLiteral(", '', 6, ") + sqlNumber(*number) +
                    QStringLiteral("::t_float)"));
                sql->execute();
            } else {
                sql->setText(QStringLiteral("UPDATE cmn_gds_and_srv.gds_and_srv SET s_caption=") +
                             quoted(mark) + QStringLiteral(", massa=") + sqlNumber(*number) +
                             QStringLiteral("::t_float where id=") + QString::number(m_id));
                if (sql->execute() == 0)
                    throw DataError(QStringLiteral("Изделие не найдено: его удалил другой пользователь"));
            }
            transaction.commit();
        }
    }
    if (duplicate) {
        messages->error(QStringLiteral("Ошибка"), QStringLiteral("Такая марка изделия уже заведена!"));
        return;
    }
    Dataset *products = data->izdel();
    products->close();
    products->open();
    accept();
}

} // namespace tabel
