#include "entries/entryeditor.h"

#include "ui_entryeditor.h"

#include "data/connectionstring.h"
#include "data/datamodule.h"
#include "data/productkind.h"
#include "data/session.h"
#include "refbooks/operationlistwindow.h"
#include "refbooks/workerlistwindow.h"
#include "shop/pricing.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QTimer>

#include <algorithm>

namespace tabel {

namespace {
// Digits only, however the text comes: typed, pasted, dropped or composed.
class DigitsValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        for (const QChar c : input)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
        return Acceptable;
    }
};
} // namespace

EntryEditor::EntryEditor(const AppContext &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::EntryEditor>()), m_context(context), m_store(context.data),
      m_today([] { return QDate::currentDate(); }), m_limits(WarningLimits::fromSettings(settingsValues()))
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Fixed, Placement::MainWindowCentre);
    for (QLineEdit *box : {ui->quantityEdit, ui->hoursEdit, ui->colourEdit, ui->rejectsEdit}) {
        box->setValidator(new DigitsValidator(box));
        box->installEventFilter(this);
    }
    ui->workerEdit->installEventFilter(this);
    ui->operationEdit->installEventFilter(this);
    MessageService *messages = m_context.services.messages;
    connectGuarded(ui->workerButton, &QPushButton::clicked, this, messages, [this] { pickWorker(); });
    connectGuarded(ui->operationButton, &QPushButton::clicked, this, messages, [this] { pickOperation(); });
    connectGuarded(ui->saveButton, &QPushButton::clicked, this, messages, [this] { save(); });
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

EntryEditor::~EntryEditor() = default;

bool EntryEditor::addEntry(const QDate &date, bool dayOff)
{
    m_dayOff = dayOff;
    ui->datePicker->setDate(date);
    ui->workerEdit->clear();
    ui->operationEdit->clear();
    ui->quantityEdit->clear();
    ui->colourEdit->clear();
    ui->rejectsEdit->setText(QStringLiteral("0"));
    ui->hoursEdit->setText(QStringLiteral("0"));
    setWindowTitle(QStringLiteral("Заведение новой позиции"));
    m_mode = Mode::New;
    m_entryId = 0;
    return m_context.services.exec(this) == QDialog::Accepted;
}

bool EntryEditor::changeEntry(bool dayOff)
{
    Dataset *entries = m_context.session->currentQuery();
    if (entries->isEmpty())
        return false;
    m_dayOff = dayOff;
    setWindowTitle(QStringLiteral("Изменение данных о позиции"));
    m_mode = Mode::Change;
    m_price = entries->asDouble(QStringLiteral("cena"));
    const double quantity = entries->asDouble(QStringLiteral("kol_vo"));
    ui->finalPriceEdit->setText(numberText(roundPrice(m_price)));
    ui->sumEdit->setText(numberText(roundPrice(quantity * m_price)));
    ui->datePicker->setDate(entries->value(QStringLiteral("data")).toDate());
    ui->workerEdit->setText(entries->asString(QStringLiteral("fio")).trimmed());
    ui->operationEdit->setText(operationText(entries->asString(QStringLiteral("marka")),
                                             entries->asString(QStringLiteral("vid")),
                                             int(entries->asInt(QStringLiteral("naimen")))));
    ui->operationEdit->setCursorPosition(0);
    ui->quantityEdit->setText(entries->asString(QStringLiteral("kol_vo")).trimmed());
    ui->rejectsEdit->setText(entries->asString(QStringLiteral("brak")).trimmed());
    m_workerId = int(entries->asInt(QStringLiteral("w_id")));
    m_productId = int(entries->asInt(QStringLiteral("i_id")));
    m_operationId = int(entries->asInt(QStringLiteral("o_id")));
    ui->hoursEdit->setText(QString::number(entries->asInt(QStringLiteral("time"))));
    // The operation list is left closed and unfiltered, with the entry's operation as its filter text;
    // "Цена база" is then 0 until an operation is picked.
    Dataset *operations = m_context.data->oper();
    operations->close();
    operations->setFilter(QStringLiteral("id=") + QString::number(m_operationId));
    operations->setFiltered(false);
    const bool paint = isPaintOperation(entries->asString(QStringLiteral("vid")).trimmed());
    setPaint(paint);
    if (paint)
        ui->colourEdit->setText(entries->asString(QStringLiteral("color")).trimmed());
    m_entryId = int(entries->asInt(QStringLiteral("id")));
    m_storedOperation = m_operationId;
    return m_context.services.exec(this) == QDialog::Accepted;
}

void EntryEditor::setPaint(bool paint)
{
    if (!paint)
        ui->colourEdit->clear();
    ui->colourLabel->setEnabled(paint);
    ui->colourEdit->setEnabled(paint);
}

void EntryEditor::pickWorker()
{
    const auto choice = m_context.windows->get<WorkerListWindow>()->pickWorker();
    ui->workerButton->setFocus(); // the editor is active again
    if (!choice)
        return;
    ui->workerEdit->setText(choice->name);
    m_workerId = choice->id;
}

void EntryEditor::pickOperation()
{
    const std::optional<int> start =
        m_mode == Mode::Change ? std::optional<int>(m_storedOperation) : std::nullopt;
    const auto row = m_context.windows->get<OperationListWindow>()->pickOperation(start);
    ui->workerButton->setFocus(); // the editor is active again
    if (row) {
        // The product's mark first: when it cannot be read, the editor keeps its operation whole.
        Dataset *control = m_context.data->control();
        control->close();
        control->setSql({QStringLiteral("select marka from accounts_dep.izdel where id=") +
                         QString::number(row->productId)});
        control->open();
        const QString mark =
            control->isEmpty() ? QString() : control->asString(QStringLiteral("marka")).trimmed();
        control->close();
        m_productId = int(row->productId);
        m_operationId = row->id;
        m_price = entryPrice(row->price, m_dayOff, m_context.session->shiftView());
        ui->operationEdit->setText(mark + QStringLiteral("; ") + row->kind.trimmed() + QStringLiteral("; ") +
                                   productKindText(row->naimen));
        ui->operationEdit->setCursorPosition(0); // a long text shows its beginning
    }
    setPaint(isPaintOperation(ui->operationEdit->text()));
    recomputePrices();
}

void EntryEditor::recomputePrices()
{
    if (ui->hoursEdit->text().isEmpty())
        ui->hoursEdit->setText(QStringLiteral("0"));
    if (ui->quantityEdit->text().isEmpty())
        ui->quantityEdit->setText(QStringLiteral("0"));
    ui->finalPriceEdit->setText(numberText(roundPrice(m_price)));
    Dataset *operations = m_context.data->oper();
    const double base =
        operations->isOpen() && !operations->isEmpty() ? operations->asDouble(QStringLiteral("cena")) : 0;
    ui->basePriceEdit->setText(numberText(roundPrice(base)));
    ui->sumEdit->setText(numberText(roundPrice(ui->quantityEdit->text().toDouble() * m_price)));
}

EntryDraft EntryEditor::draft() const
{
    EntryDraft d;
    d.worker = ui->workerEdit->text();
    d.operation = ui->operationEdit->text();
    d.quantity = ui->quantityEdit->text();
    d.rejects = ui->rejectsEdit->text();
    d.hours = ui->hoursEdit->text();
    d.colour = ui->colourEdit->text();
    d.workerId = m_workerId;
    d.productId = m_productId;
    d.operationId = m_operationId;
    d.price = m_price;
    d.date = ui->datePicker->date();
    d.shift = m_context.session->shiftView();
    d.today = m_today();
    if (m_mode == Mode::Change)
        d.entryId = m_entryId;
    return d;
}

bool EntryEditor::confirmPlausible(EntryDraft *d)
{
    QString refusal;
    const std::optional<EntryNumbers> numbers = EntryStore::checked(*d, &refusal);
    if (!numbers)
        return true; // the save refuses it with its own message
    const QList<EntryWarning> warnings = entryWarnings(
        *d, *numbers, readEntryContext(m_warningFigures, &m_context.data->connection(), *d, m_limits),
        m_limits);
    if (warnings.isEmpty())
        return true;
    if (m_context.services.messages->ask(QStringLiteral("Проверьте"), warningQuestion(warnings))) {
        d->note = warningNote(warnings);
        return true;
    }
    const EntryField first =
        std::min_element(warnings.begin(), warnings.end(), [](const EntryWarning &a, const EntryWarning &b) {
            return a.field < b.field;
        })->field;
    QWidget *const fields[] = {ui->workerButton, ui->operationButton, ui->quantityEdit,
                               ui->hoursEdit,    ui->datePicker,      ui->rejectsEdit};
    fields[int(first)]->setFocus();
    return false;
}

void EntryEditor::save()
{
    EntryDraft d = draft();
    if (!confirmPlausible(&d))
        return;
    const QString refusal = m_store.save(d);
    if (!refusal.isEmpty()) {
        m_context.services.messages->error(QStringLiteral("Ошибка"), refusal);
        return; // nothing written; the editor stays as it is
    }
    // The view shows the saved entry at once, on the same record number. The entry is saved: a view
    // that cannot be read now is reported, and the editor closes all the same.
    for (int s = 1; s <= 3; ++s)
        m_context.data->hTabel(s)->close();
    guarded(m_context.services.messages, [this] { m_context.session->currentQuery()->refresh(); });
    for (QLineEdit *box : {ui->workerEdit, ui->operationEdit, ui->quantityEdit, ui->rejectsEdit,
                           ui->colourEdit, ui->hoursEdit, ui->basePriceEdit, ui->finalPriceEdit, ui->sumEdit})
        box->clear();
    accept();
}

void EntryEditor::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    ui->workerButton->setFocus();
}

bool EntryEditor::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == ui->workerEdit || watched == ui->operationEdit) &&
        event->type() == QEvent::MouseButtonPress) {
        // A click into the field opens its picker, once the click is over.
        const bool worker = watched == ui->workerEdit;
        QTimer::singleShot(0, this, [this, worker] {
            guarded(m_context.services.messages, [this, worker] { worker ? pickWorker() : pickOperation(); });
        });
        return true;
    }
    if ((watched == ui->quantityEdit || watched == ui->hoursEdit) && event->type() == QEvent::FocusOut) {
        // Leaving the box, not the window (a message box, the editor closing).
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            guarded(m_context.services.messages, [this] { recomputePrices(); });
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tabel
