#include "refbooks/booklistwindow.h"

#include "data/datamodule.h"
#include "ui/guard.h"
#include "ui/messageservice.h"

#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>

namespace tabel {

BookListWindow::BookListWindow(const AppContext &context, QWidget *parent)
    : QDialog(parent), m_context(context)
{
}

void BookListWindow::setUpList(Dataset *rows, const Controls &controls, const QVector<GridColumn> &columns,
                               const QString &searchField, SearchKeys::Keys keys,
                               std::function<QString(const QString &)> searchText)
{
    m_rows = rows;
    m_controls = controls;
    m_model = new DatasetModel(this);
    m_model->setColumns(columns);
    m_model->setDataset(rows);
    m_model->attach(controls.grid);
    new SearchKeys(controls.search, rows, keys);

    MessageService *messages = m_context.services.messages;
    connectGuarded(controls.search, &QLineEdit::textChanged, this, messages,
                   [rows, searchField, searchText](const QString &text) {
                       applySearch(rows, searchField, searchText ? searchText(text) : text);
                   });
    connectGuarded(controls.add, &QPushButton::clicked, this, messages, [this] { add(); });
    if (controls.change)
        connectGuarded(controls.change, &QPushButton::clicked, this, messages, [this] { changeOrChoose(); });
    connectGuarded(controls.grid, &QAbstractItemView::doubleClicked, this, messages,
                   [this] { doubleClicked(); });
    connect(controls.exit, &QPushButton::clicked, this, &QDialog::reject);
}

void BookListWindow::prepareMaintenance()
{
    m_mode = Mode::Maintenance;
    m_rows->open(); // filtered by whatever the search still holds
    if (m_controls.change) {
        m_controls.change->setText(QStringLiteral("Изменить"));
        m_controls.change->setDefault(false);
    }
    m_controls.add->setDefault(true);
    m_controls.add->show();
    m_controls.remove->show();
}

void BookListWindow::prepareSelection()
{
    m_mode = Mode::Selection;
    forgetChoice();
    m_rows->open();
    m_controls.add->setDefault(false);
    if (m_controls.change) {
        m_controls.change->setText(QStringLiteral("Выбрать"));
        m_controls.change->setDefault(true);
        m_controls.change->show();
    }
    m_controls.add->hide();
    m_controls.remove->hide();
    m_controls.search->show();
    m_controls.search->clear(); // switches the filter off
    m_rows->setFiltered(false);
}

void BookListWindow::add()
{
    if (m_mode == Mode::Maintenance)
        addRow();
}

void BookListWindow::changeOrChoose()
{
    if (m_mode == Mode::Selection) {
        chooseRow();
        accept();
        return;
    }
    if (!m_rows->isEmpty()) // nothing to change otherwise
        changeRow();
}

void BookListWindow::reopenAt(int recNo)
{
    m_rows->close();
    m_rows->open();
    returnTo(recNo);
}

void BookListWindow::returnTo(int recNo)
{
    if (m_rows->isOpen() && !m_rows->isEmpty() && recNo > 0)
        m_rows->setRecNo(std::min(recNo, m_rows->recordCount()));
}

bool BookListWindow::deleteCurrent(const QString &question,
                                   const std::function<BookResult(BookStore &, qint64 id)> &remove)
{
    if (m_mode != Mode::Maintenance || m_rows->isEmpty())
        return false;
    MessageService *messages = m_context.services.messages;
    if (!messages->ask(QStringLiteral("Удаление"), question))
        return false;
    BookStore store(m_context.data);
    const BookResult result = remove(store, m_rows->asInt(QStringLiteral("id")));
    if (result.refused()) {
        messages->error(QStringLiteral("Ошибка"), result.refusal);
        return false;
    }
    return true;
}

void BookListWindow::focusSearch()
{
    if (m_controls.search && m_controls.search->isVisible())
        m_controls.search->setFocus();
}

void BookListWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    focusSearch();
}

void BookListWindow::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    // Each time the window becomes active (also back from an editor or a picker).
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        focusSearch();
}

} // namespace tabel
