#include "refbooks/producteditor.h"

#include "ui_producteditor.h"

#include "data/datamodule.h"
#include "data/sqlparams.h"
#include "shop/bookstore.h"
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
    const QString numberText = ui->numberEdit->text().trimmed();
    if (ui->markEdit->text().trimmed().isEmpty() || numberText.isEmpty()) {
        messages->error(QStringLiteral("Ошибка"), QStringLiteral("Все поля должны быть заполнены!"));
        return;
    }
    const std::optional<double> number = typedNumber(numberText);
    if (!number) {
        messages->error(QStringLiteral("Ошибка"),
                        QStringLiteral("Расценка «%1» не является числом.").arg(numberText));
        return;
    }
    const BookResult result =
        BookStore(m_context.data)
            .saveProduct({m_mode == Mode::Add ? 0 : m_id, ui->markEdit->text(), *number});
    if (result.refused()) {
        messages->error(QStringLiteral("Ошибка"), result.refusal);
        return;
    }
    Dataset *products = m_context.data->izdel();
    products->close();
    products->open();
    accept();
}

} // namespace tabel
