#include "register/registerwindow.h"

#include "ui_registerwindow.h"

#include "data/datamodule.h"
#include "data/session.h"
#include "entries/entryeditor.h"
#include "history/historyperiodwindow.h"
#include "history/historywindow.h"
#include "import/legacyimport.h"
#include "refbooks/operationkindlistwindow.h"
#include "refbooks/operationlistwindow.h"
#include "refbooks/productlistwindow.h"
#include "refbooks/workerlistwindow.h"
#include "register/acceptancedelegate.h"
#include "reports/reportdialog.h"
#include "shop/changehistory.h"
#include "shop/entrystore.h"
#include "shop/reportperiod.h"
#include "timesheet/timesheetwindow.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QScopeGuard>
#include <QTimer>

#include <exception>

namespace tabel {

namespace {

// While the import runs, the window repaints and shows its progress but takes no input and cannot
// be closed: nobody writes into a table being replaced, nor stops the program mid-table.
class InputBlocker : public QObject
{
public:
    InputBlocker() { QCoreApplication::instance()->installEventFilter(this); }
    ~InputBlocker() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::Close:
            event->ignore();
            return true;
        default:
            return false;
        }
    }
};
const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);

QVector<GridColumn> registerColumns()
{
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    const auto centre = Qt::AlignCenter;
    return {
        {QStringLiteral("Фамилия И.О."), QStringLiteral("fio"), left, 190, true},
        {QStringLiteral("Марка изделия"), QStringLiteral("marka"), left, 150, true},
        {QStringLiteral("Операция"), QStringLiteral("vid"), left, 170, true},
        {QStringLiteral("Вид"), QStringLiteral("nmn"), left, 130, true},
        {QStringLiteral("Цвет"), QStringLiteral("color"), centre, 55, true},
        {QStringLiteral("Часы"), QStringLiteral("time"), right, 50, true},
        {QStringLiteral("Кол-во"), QStringLiteral("kol_vo"), right, 65, true},
        {QStringLiteral("Брак"), QStringLiteral("brak"), right, 50, true},
        {QStringLiteral("Итого (р.)"), QStringLiteral("summa"), right, 85, true, 2}, // money: 1309,80
        {QStringLiteral("Премия (%)"), QStringLiteral("prize"), right, 70, false},
        {QStringLiteral("OK"), QStringLiteral("ok"), centre, 40, true},
        {QStringLiteral("Заведен"), QStringLiteral("vvod"), centre, 140, true},
    };
}
constexpr int kOkColumn = 10;

bool isWeekend(const QDate &d)
{
    return d.dayOfWeek() >= 6;
}
} // namespace

RegisterWindow::RegisterWindow(const AppContext &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::RegisterWindow>()), m_context(context),
      m_today([] { return QDate::currentDate(); })
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Fixed, Placement::ScreenCentre);
    MessageService *messages = m_context.services.messages;

    const QVector<GridColumn> columns = registerColumns();
    for (int s = 0; s < 4; ++s) {
        m_sources[s] = new DatasetModel(this);
        m_sources[s]->setObjectName(QStringLiteral("DataSource%1").arg(s + 1));
        m_sources[s]->setColumns(columns);
        m_sources[s]->setDataset(m_context.session->shiftViews().dataset(s + 1));
    }
    m_sources[0]->attach(ui->grid);
    ui->grid->setItemDelegateForColumn(kOkColumn, new AcceptanceDelegate(this));
    ui->grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);

    connectGuarded(ui->shift1Button, &QPushButton::clicked, this, messages, [this] { selectShift(1); });
    connectGuarded(ui->shift2Button, &QPushButton::clicked, this, messages, [this] { selectShift(2); });
    connectGuarded(ui->shift3Button, &QPushButton::clicked, this, messages, [this] { selectShift(3); });
    connectGuarded(ui->shift4Button, &QPushButton::clicked, this, messages, [this] { selectShift(4); });
    connectGuarded(ui->dayOffCheck, &QCheckBox::toggled, this, messages, [this] { styleDayOff(); });
    connectGuarded(ui->refreshButton, &QPushButton::clicked, this, messages, [this] { refresh(); });
    connectGuarded(ui->addButton, &QPushButton::clicked, this, messages, [this] { addEntry(); });
    connectGuarded(ui->changeButton, &QPushButton::clicked, this, messages, [this] { changeEntry(); });
    connectGuarded(ui->deleteButton, &QPushButton::clicked, this, messages, [this] { deleteEntry(); });
    connectGuarded(ui->grid, &QTableView::doubleClicked, this, messages, [this] { toggleAcceptance(); });
    connect(ui->exitButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->exitAction, &QAction::triggered, this, &QDialog::reject);
    connectGuarded(ui->summaryReportsAction, &QAction::triggered, this, messages,
                   [this] { openSummaryReports(); });
    connectGuarded(ui->importAction, &QAction::triggered, this, messages,
                   [this] { runImport(ImportSettings{}); });
    connectGuarded(ui->timesheetAction, &QAction::triggered, this, messages, [this] { openTimesheet(); });
    connectGuarded(ui->workersAction, &QAction::triggered, this, messages, [this] {
        const auto activateAgain = qScopeGuard([this] { activateAfterReturn(); }); // whatever happens there
        m_context.windows->get<WorkerListWindow>()->openForMaintenance();
    });
    connectGuarded(ui->productsAction, &QAction::triggered, this, messages, [this] {
        const auto activateAgain = qScopeGuard([this] { activateAfterReturn(); }); // whatever happens there
        m_context.windows->get<ProductListWindow>()->openForMaintenance();
    });
    connectGuarded(ui->pricesAction, &QAction::triggered, this, messages, [this] {
        const auto activateAgain = qScopeGuard([this] { activateAfterReturn(); }); // whatever happens there
        m_context.windows->get<OperationListWindow>()->openForMaintenance();
    });
    connectGuarded(ui->operationsAction, &QAction::triggered, this, messages, [this] {
        const auto activateAgain = qScopeGuard([this] { activateAfterReturn(); }); // whatever happens there
        m_context.windows->get<OperationKindListWindow>()->openForMaintenance();
    });
    setUpHistory();
    // Any closing of the calendar confirms the date: a click, the keyboard, or closing it without a
    // choice. Typing alone does not.
    m_calendarPopup = ui->datePicker->calendarWidget()->window();
    m_calendarPopup->installEventFilter(this);
    ui->datePicker->installEventFilter(this);

    ui->datePicker->setDate(m_today());
    styleDayOff();
    styleShiftButtons();

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("versionTimer"));
    m_timer->setInterval(kVersionCheckInterval);
    connect(m_timer, &QTimer::timeout, this, &RegisterWindow::versionCheckDue);
    m_timer->start();
}

RegisterWindow::~RegisterWindow() = default;

int RegisterWindow::openAfterLogin()
{
    return m_context.services.exec(this);
}

bool RegisterWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_calendarPopup && event->type() == QEvent::Hide) {
        // After the popup has handed its date to the picker.
        QTimer::singleShot(0, this,
                           [this] { guarded(m_context.services.messages, [this] { applyDate(); }); });
    } else if (watched == ui->datePicker && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ui->datePicker->interpretText();
            guarded(m_context.services.messages, [this] { applyDate(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void RegisterWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        guarded(m_context.services.messages, [this] { activate(); });
        markShown(this);
    }
}

bool RegisterWindow::isDayOff() const
{
    return ui->dayOffCheck->isChecked();
}

QDate RegisterWindow::date() const
{
    return ui->datePicker->date();
}

void RegisterWindow::activate()
{
    // A database not yet given the history of changes: the program works without its windows.
    const bool kept = ChangeHistory::isKept(&m_context.data->connection());
    m_historyMenu->menuAction()->setVisible(kept);
    m_entryHistoryAction->setEnabled(kept);
    const QDate today = m_today();
    ui->datePicker->setDate(today);
    if (isWeekend(today))
        setDayOff(true);
    m_context.session->shiftViews().open(today);
}

void RegisterWindow::applyDate()
{
    {
        WaitCursor wait;
        m_context.session->shiftViews().open(ui->datePicker->date());
        setDayOff(isWeekend(ui->datePicker->date()));
    }
    ui->grid->setFocus();
}

void RegisterWindow::refresh()
{
    WaitCursor wait;
    m_context.session->shiftViews().refresh();
}

void RegisterWindow::setDayOff(bool on)
{
    ui->dayOffCheck->setChecked(on);
    styleDayOff();
}

void RegisterWindow::styleDayOff()
{
    const bool on = ui->dayOffCheck->isChecked();
    QFont f = ui->dayOffCheck->font();
    f.setBold(on);
    ui->dayOffCheck->setFont(f);
    QPalette p = ui->dayOffCheck->palette();
    p.setColor(ui->dayOffCheck->backgroundRole(),
               on ? kRed : QApplication::palette().color(QPalette::Button));
    ui->dayOffCheck->setPalette(p);
}

void RegisterWindow::selectShift(int view)
{
    QPushButton *buttons[4] = {ui->shift1Button, ui->shift2Button, ui->shift3Button, ui->shift4Button};
    if (view < 1 || view > 4)
        view = 1;
    buttons[view - 1]->setChecked(true);
    m_sources[view - 1]->attach(ui->grid);
    m_context.session->setShiftView(view);
    styleShiftButtons();
}

void RegisterWindow::styleShiftButtons()
{
    QPushButton *buttons[4] = {ui->shift1Button, ui->shift2Button, ui->shift3Button, ui->shift4Button};
    for (QPushButton *b : buttons) {
        const bool on = b->isChecked();
        QFont f = b->font();
        f.setBold(on);
        b->setFont(f);
        // A flat face, so that the selected shift shows exactly the shop's green.
        b->setStyleSheet(
            on ? QStringLiteral(
                     "QPushButton { background-color: rgb(0, 128, 0); border: 1px solid rgb(0, 80, 0);"
                     " border-radius: 2px; padding: 3px 8px; }")
               : QString());
    }
}

int RegisterWindow::runWindow(QDialog *window)
{
    const int result = m_context.services.exec(window);
    activateAfterReturn();
    return result;
}

void RegisterWindow::activateAfterReturn()
{
    guarded(m_context.services.messages, [this] { activate(); });
}

void RegisterWindow::addEntry()
{
    const auto activateAgain = qScopeGuard([this] { activateAfterReturn(); }); // whatever happens there
    m_context.windows->get<EntryEditor>()->addEntry(date(), isDayOff());
}

void RegisterWindow::changeEntry()
{
    Dataset *entries = m_context.session->currentQuery();
    const int recNo = entries->recNo();
    if (entries->isEmpty())
        return;
    // Back on the entry's record number once the register is active again.
    const auto activateAgain = qScopeGuard([this, recNo] {
        activateAfterReturn();
        Dataset *now = m_context.session->currentQuery();
        if (!now->isEmpty() && recNo >= 1)
            now->setRecNo(std::min(recNo, now->recordCount()));
    });
    m_context.windows->get<EntryEditor>()->changeEntry(isDayOff());
}

void RegisterWindow::setUpHistory()
{
    MessageService *messages = m_context.services.messages;
    m_historyMenu = new QMenu(QStringLiteral("История"), ui->menuBar);
    m_historyMenu->setObjectName(QStringLiteral("historyMenu"));
    m_entryHistoryAction = new QAction(QStringLiteral("История изменений"), this);
    m_entryHistoryAction->setObjectName(QStringLiteral("entryHistoryAction"));
    m_entryHistoryAction->setShortcut(QKeySequence(Qt::Key_F7));
    m_entryHistoryAction->setShortcutContext(Qt::WindowShortcut);
    auto *period = new QAction(QStringLiteral("Изменения за период"), this);
    period->setObjectName(QStringLiteral("periodHistoryAction"));
    m_historyMenu->addAction(m_entryHistoryAction);
    m_historyMenu->addAction(period);
    ui->menuBar->insertMenu(ui->exitAction, m_historyMenu);
    addAction(m_entryHistoryAction); // F7 wherever the focus is in the register
    ui->grid->setContextMenuPolicy(Qt::ActionsContextMenu);
    ui->grid->addAction(m_entryHistoryAction);
    connectGuarded(m_entryHistoryAction, &QAction::triggered, this, messages, [this] { showEntryHistory(); });
    connectGuarded(period, &QAction::triggered, this, messages, [this] { showPeriodHistory(); });
}

void RegisterWindow::showEntryHistory()
{
    if (!m_historyMenu->menuAction()->isVisible())
        return;
    Dataset *entries = m_context.session->currentQuery();
    if (entries->isEmpty())
        return;
    const int id = int(entries->asInt(QStringLiteral("id")));
    const int shift = m_context.session->shiftView();
    const QString subject =
        QStringLiteral("Позиция № %1: %2, %3, %4, %5; %6")
            .arg(id)
            .arg(entries->asString(QStringLiteral("fio")).trimmed(),
                 entries->value(QStringLiteral("data")).toDate().toString(QStringLiteral("dd.MM.yyyy")),
                 shift == 4 ? QStringLiteral("переработка") : QStringLiteral("смена %1").arg(shift),
                 entries->asString(QStringLiteral("marka")).trimmed(),
                 entries->asString(QStringLiteral("vid")).trimmed());
    // A read-only window: the register stays on its date and row.
    m_context.windows->get<HistoryWindow>()->showEntry(id, subject);
}

void RegisterWindow::showPeriodHistory()
{
    if (!m_historyMenu->menuAction()->isVisible())
        return;
    auto *window = m_context.windows->get<HistoryPeriodWindow>();
    window->setClock(m_today);
    window->openForPeriod();
}

void RegisterWindow::deleteEntry()
{
    Dataset *entries = m_context.session->currentQuery();
    const QString id = entries->isEmpty() ? QString() : entries->asString(QStringLiteral("id"));
    if (id.isEmpty())
        return;
    const bool yes = m_context.services.messages->ask(QStringLiteral("Удаление"),
                                                      QStringLiteral("Удалить позицию из списка?"));
    // Whatever the answer, the view is read again, also when the deletion failed; its error is
    // reported after that.
    std::exception_ptr failure;
    if (yes) {
        try {
            EntryStore(m_context.data).remove(id.toInt());
        } catch (...) {
            failure = std::current_exception();
        }
    }
    entries->close();
    entries->open();
    if (failure)
        std::rethrow_exception(failure);
}

void RegisterWindow::runImport(const ImportSettings &settings)
{
    if (m_importing)
        return;
    m_importing = true;
    const bool timerWasActive = m_timer->isActive();
    m_timer->stop(); // the version check waits too: the connection is reading the entries
    const auto restore = qScopeGuard([this, timerWasActive] {
        m_importing = false;
        if (timerWasActive)
            m_timer->start();
    });
    InputBlocker blocker;
    WaitCursor wait;
    ui->importStatusLabel->clear();
    ui->importStatusLabel->setVisible(true);
    LegacyImport import(&m_context.data->connection(), settings);
    const ImportSummary summary = import.run([this](const QString &status) {
        ui->importStatusLabel->setText(status);
        QCoreApplication::processEvents();
    });
    // The rows left as they were would scroll past in the status line: all of it once more at the end.
    m_context.services.messages->show(QStringLiteral("Импорт"), summary.lines().join(QLatin1Char('\n')),
                                      MessageService::Icon::Information);
}

void RegisterWindow::toggleAcceptance()
{
    if (!m_acceptanceAllowed)
        return;
    Dataset *entries = m_context.session->currentQuery();
    if (entries->isEmpty())
        return;
    const QString mark = EntryStore::toggledMark(entries->asString(QStringLiteral("ok")));
    EntryStore(m_context.data).setMark(int(entries->asInt(QStringLiteral("id"))), mark);
    entries->refresh(); // back on the same record number
}

void RegisterWindow::openSummaryReports()
{
    const auto activateAgain = qScopeGuard([this] { activateAfterReturn(); }); // whatever happens there
    const ReportPeriod p = previousMonthPeriod(m_today());
    Q_EMIT summaryReportsRequested(p.from, p.to);
    if (m_context.windows->has<ReportDialog>())
        m_context.windows->get<ReportDialog>()->openForPeriod(p.from, p.to);
}

void RegisterWindow::openTimesheet()
{
    const auto activateAgain = qScopeGuard([this] { activateAfterReturn(); }); // whatever happens there
    Q_EMIT timesheetRequested(ui->datePicker->date());
    if (m_context.windows->has<TimesheetWindow>())
        m_context.windows->get<TimesheetWindow>()->openForDate(ui->datePicker->date());
}

} // namespace tabel
