#include "refbooks/normswindow.h"

#include "ui_normswindow.h"

#include "data/dataerror.h"
#include "data/datamodule.h"
#include "history/historywindow.h"
#include "shop/bookstore.h"
#include "shop/changehistory.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QTimer>

#include <cmath>
#include <limits>

namespace tabel {

namespace {
const QString kTitles[] = {QStringLiteral("Норматив"), QStringLiteral("Цена"), QStringLiteral("Премия, %")};

// A typed cell as the column's type: whole numbers for the norm and the bonus (they are integers in
// the database), a number for the price.
std::optional<QVariant> cellValue(int column, const QString &typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return QVariant();
    QString t = text;
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    if (column == 1) {
        const double v = QLocale::c().toDouble(t, &ok);
        return ok && std::isfinite(v) ? std::optional<QVariant>(v) : std::nullopt;
    }
    const qlonglong v = QLocale::c().toLongLong(t, &ok);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return std::nullopt;
    return QVariant(int(v));
}
} // namespace

QString normPriceText(double price)
{
    QString text = QLocale().toString(price, 'f', 3);
    if (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    return text;
}

NormsModel::NormsModel(DataModule *data, QObject *parent) : QAbstractTableModel(parent), m_data(data) {}

void NormsModel::load(int operation, int insertedId)
{
    std::vector<NormRow> rows = BookStore(m_data).norms(operation);
    const int oldCount = int(m_rows.size()), newCount = int(rows.size());
    if (!m_loaded || operation != m_operation || newCount < oldCount) {
        beginResetModel();
        m_operation = operation;
        m_rows = std::move(rows);
        m_loaded = true;
        endResetModel();
        return;
    }
    // The same operation read again while a cell may be committed from its editor: the rows move to
    // their new places instead of a reset, which would tear the editor from the grid half-way.
    // What each row of the grid is now: a norm's id, the new-norm row (0), or nothing yet (-1).
    std::vector<int> identity;
    for (const NormRow &r : m_rows)
        identity.push_back(r.id);
    identity.push_back(insertedId);
    if (newCount > oldCount) {
        beginInsertRows(QModelIndex(), oldCount + 1, newCount);
        m_rows.resize(size_t(newCount));
        endInsertRows();
    }
    identity.resize(size_t(newCount) + 1, -1);
    Q_EMIT layoutAboutToBeChanged();
    m_rows = std::move(rows);
    const QModelIndexList persistent = persistentIndexList();
    for (const QModelIndex &p : persistent) {
        const int id = identity[size_t(p.row())];
        const int row = id == 0 ? newCount : id < 0 ? -1 : rowOf(id);
        changePersistentIndex(p, row < 0 ? QModelIndex() : index(row, p.column()));
    }
    Q_EMIT layoutChanged();
}

int NormsModel::rowOf(int normId) const
{
    for (int i = 0; i < int(m_rows.size()); ++i)
        if (m_rows[i].id == normId)
            return i;
    return -1;
}

int NormsModel::idAt(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[row].id : 0;
}

int NormsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size()) + 1; // the last row is for a new norm
}

int NormsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant NormsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return QVariant();
    const QVariant v = m_rows[index.row()].value(NormRow::Column(index.column()));
    if (role == Qt::DisplayRole) {
        if (v.isNull())
            return QString();
        return index.column() == 1 ? normPriceText(v.toDouble()) : v.toString();
    }
    if (role == Qt::EditRole)
        return v.isNull()            ? QString()
               : index.column() == 1 ? QLocale().toString(v.toDouble(), 'g', 15)
                                     : v.toString();
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return QVariant();
}

QVariant NormsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 3)
        return kTitles[section];
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignCenter);
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return section < int(m_rows.size()) ? QString() : QStringLiteral("*"); // the row indicator
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags NormsModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

void NormsModel::refuse(const QModelIndex &index, const QString &typed, const QString &message,
                        bool databaseError)
{
    m_lastWriteFailed = true;
    Q_EMIT refused(index, typed, message, databaseError);
}

bool NormsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    const auto column = NormRow::Column(index.column());
    const bool isNew = index.row() >= int(m_rows.size());
    const QVariant old = isNew ? QVariant() : data(index, Qt::EditRole);
    const QString typed = value.toString();
    if (typed == old.toString())
        return false; // unchanged: nothing is written
    const std::optional<QVariant> v = cellValue(column, typed);
    if (!v) {
        refuse(index, typed,
               QStringLiteral("«%1» не подходит для столбца «%2»: нужно %3.")
                   .arg(typed, kTitles[column],
                        column == NormRow::Price ? QStringLiteral("число") : QStringLiteral("целое число")),
               false);
        return false;
    }
    BookResult result;
    try {
        BookStore store(m_data);
        if (isNew) {
            // A new row takes its operation's key, however the grid started it.
            NormRow row;
            row.operation = m_operation;
            (column == NormRow::Norma ? row.norma : column == NormRow::Price ? row.price : row.prize) = *v;
            result = store.addNorm(row);
        } else {
            result = store.changeNorm(m_rows[index.row()].id, column, *v);
        }
        if (!result.refused())
            load(m_operation, isNew ? int(result.id) : 0); // read again, sorted by the norm figure
    } catch (const DataError &e) {
        refuse(index, typed, e.message(), true);
        return false;
    }
    if (result.refused()) {
        refuse(index, typed, result.refusal, false);
        return false;
    }
    m_lastWriteFailed = false;
    Q_EMIT saved(int(result.id));
    return true;
}

bool NormsModel::removeRow(int row)
{
    if (row < 0 || row >= int(m_rows.size()))
        return false;
    const bool deleted = BookStore(m_data).deleteNorm(m_operation, m_rows[row].id);
    load(m_operation);
    return deleted;
}

NormsWindow::NormsWindow(const AppContext &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::NormsWindow>()), m_context(context)
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Fixed, Placement::MainWindowCentre);
    m_model = new NormsModel(m_context.data, this);
    ui->grid->setModel(m_model);
    ui->grid->verticalHeader()->setDefaultSectionSize(ui->grid->fontMetrics().height() + 6);
    ui->grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    connect(m_model, &NormsModel::saved, this, [this](int id) {
        m_savedDuringCommit = true;
        const int row = m_model->rowOf(id);
        if (row < 0)
            return;
        // The saved row stays current, without an editor opened on it again: the next Enter or Esc
        // then presses "Сохранить", and a Tab still moves on into the next cell's editor.
        const QAbstractItemView::EditTriggers triggers = ui->grid->editTriggers();
        ui->grid->setEditTriggers(triggers & ~QAbstractItemView::CurrentChanged);
        ui->grid->setCurrentIndex(m_model->index(
            row, ui->grid->currentIndex().column() < 0 ? 0 : ui->grid->currentIndex().column()));
        ui->grid->setEditTriggers(triggers);
    });
    // A value that was not written: its message, and the cell left in editing with the text as typed.
    connect(
        m_model, &NormsModel::refused, this,
        [this](const QModelIndex &index, const QString &typed, const QString &message, bool databaseError) {
            MessageService *messages = m_context.services.messages;
            if (databaseError)
                messages->standardError(message);
            else
                messages->error(QStringLiteral("Ошибка"), message);
            const QPersistentModelIndex cell(index);
            QTimer::singleShot(0, this, [this, cell, typed] {
                if (!cell.isValid())
                    return;
                ui->grid->setCurrentIndex(cell);
                ui->grid->edit(cell);
                if (auto *editor = qobject_cast<QLineEdit *>(
                        ui->grid->indexWidget(cell) ? ui->grid->indexWidget(cell) : ui->grid->focusWidget()))
                    editor->setText(typed);
            });
        });
    MessageService *messages = m_context.services.messages;
    connectGuarded(ui->deleteButton, &QPushButton::clicked, this, messages, [this] { deleteNorm(); });
    connectGuarded(ui->saveButton, &QPushButton::clicked, this, messages, [this] { saveAndClose(); });
    connectGuarded(ui->historyButton, &QPushButton::clicked, this, messages, [this] { showHistory(); });
    auto *history = new QAction(this);
    history->setShortcut(QKeySequence(Qt::Key_F7));
    addAction(history);
    connectGuarded(history, &QAction::triggered, this, messages, [this] { showHistory(); });
}

NormsWindow::~NormsWindow() = default;

void NormsWindow::openForOperation(int operation)
{
    m_operation = operation;
    // Without the history of changes in the database the window works as before.
    ui->historyButton->setVisible(ChangeHistory::isKept(&m_context.data->connection()));
    m_model->load(operation);
    ui->grid->setCurrentIndex(m_model->index(0, 0));
    m_context.services.exec(this);
}

void NormsWindow::showHistory()
{
    if (!ui->historyButton->isVisible() || !commitEditor())
        return; // a cell being typed in is written first, so that its change is there
    const QString name = ChangeHistory(&m_context.data->connection()).operationName(m_operation);
    m_context.windows->get<HistoryWindow>()->showOperation(
        m_operation, QStringLiteral("Операция № %1: %2").arg(m_operation).arg(name));
}

bool NormsWindow::commitEditor()
{
    // A cell still being typed in is written as if it had been left.
    const QPersistentModelIndex current = ui->grid->currentIndex();
    m_model->clearWriteFailure();
    m_savedDuringCommit = false;
    ui->grid->setCurrentIndex(QModelIndex());
    if (!m_savedDuringCommit && current.isValid()) // a saved row has been made current already
        ui->grid->setCurrentIndex(current);
    return !m_model->lastWriteFailed();
}

void NormsWindow::deleteNorm()
{
    if (!commitEditor())
        return;
    m_model->removeRow(ui->grid->currentIndex().row());
    ui->grid->setCurrentIndex(m_model->index(0, 0));
}

void NormsWindow::saveAndClose()
{
    if (!commitEditor())
        return; // the message has been shown; the window stays with the row
    // The list's count and lowest price are read anew, on the same row.
    Dataset *operations = m_context.data->oper();
    if (operations->isOpen()) {
        const int recNo = operations->recNo();
        operations->close();
        operations->open();
        if (!operations->isEmpty() && recNo > 0)
            operations->setRecNo(std::min(recNo, operations->recordCount()));
    }
    accept();
}

void NormsWindow::keyPressEvent(QKeyEvent *event)
{
    // "Сохранить" is both the default and the cancel button.
    if (event->key() == Qt::Key_Escape) {
        guarded(m_context.services.messages, [this] { saveAndClose(); });
        return;
    }
    if (event->key() == Qt::Key_Insert) { // a new norm: the grid's last row
        const int column = std::max(0, ui->grid->currentIndex().column());
        ui->grid->setCurrentIndex(m_model->index(m_model->rowCount() - 1, column));
        ui->grid->edit(ui->grid->currentIndex());
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tabel
