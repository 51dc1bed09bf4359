#include "history/historyperiodwindow.h"

#include "data/datamodule.h"
#include "history/historymodel.h"
#include "history/historywindow.h"
#include "reportengine/report.h"
#include "reports/previewwindow.h"
#include "reports/spreadsheet.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowregistry.h"
#include "ui/windowsetup.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

// The print's layout is a resource of this static library: it must be registered by hand.
static void initHistoryResources()
{
    Q_INIT_RESOURCE(history);
}

namespace tabel {

namespace {
const QString kEverybody = QStringLiteral("Все");

QDateEdit *datePicker(QWidget *parent, const char *name)
{
    auto *d = new QDateEdit(parent);
    d->setObjectName(QLatin1String(name));
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
    return d;
}
} // namespace

HistoryPeriodWindow::HistoryPeriodWindow(const AppContext &context, QWidget *parent)
    : QDialog(parent), m_context(context), m_model(new HistoryModel(this)),
      m_from(datePicker(this, "fromPicker")), m_to(datePicker(this, "toPicker")), m_who(new QComboBox(this)),
      m_kind(new QComboBox(this)), m_grid(new QTableView(this)), m_count(new QLabel(this)),
      m_excel(new QPushButton(QStringLiteral("В Excel"), this)),
      m_print(new QPushButton(QStringLiteral("Печать"), this)), m_today([] { return QDate::currentDate(); }),
      m_spreadsheet(std::make_unique<Spreadsheet>())
{
    initHistoryResources();
    setObjectName(QStringLiteral("HistoryPeriodWindow"));
    setWindowTitle(QStringLiteral("Изменения за период"));
    m_who->setObjectName(QStringLiteral("whoCombo"));
    m_kind->setObjectName(QStringLiteral("kindCombo"));
    for (HistoryKind k : {HistoryKind::All, HistoryKind::Entries, HistoryKind::Norms, HistoryKind::Bulk})
        m_kind->addItem(ChangeHistory::kindText(k), int(k));
    m_grid->setObjectName(QStringLiteral("grid"));
    m_grid->setModel(m_model);
    HistoryModel::setUpGrid(m_grid);
    m_count->setObjectName(QStringLiteral("countLabel"));
    auto *show = new QPushButton(QStringLiteral("Показать"), this);
    show->setObjectName(QStringLiteral("showButton"));
    show->setDefault(true);
    m_excel->setObjectName(QStringLiteral("excelButton"));
    m_print->setObjectName(QStringLiteral("printButton"));
    auto *exit = new QPushButton(QStringLiteral("Выход"), this);
    exit->setObjectName(QStringLiteral("exitButton"));
    exit->setAutoDefault(false);
    m_excel->setAutoDefault(false);
    m_print->setAutoDefault(false);

    auto *filters = new QHBoxLayout;
    const auto labelled = [&](const QString &text, QWidget *w) {
        auto *l = new QLabel(text, this);
        l->setBuddy(w);
        filters->addWidget(l);
        filters->addWidget(w);
    };
    labelled(QStringLiteral("С"), m_from);
    labelled(QStringLiteral("по"), m_to);
    labelled(QStringLiteral("Кто"), m_who);
    labelled(QStringLiteral("Что"), m_kind);
    m_who->setMinimumWidth(160);
    filters->addWidget(show);
    filters->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_count);
    buttons->addStretch();
    buttons->addWidget(m_excel);
    buttons->addWidget(m_print);
    buttons->addWidget(exit);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_grid);
    layout->addLayout(buttons);
    resize(1200, 600);
    setUpWindow(this, Frame::Sizable, Placement::MainWindowCentre);

    MessageService *messages = m_context.services.messages;
    connectGuarded(show, &QPushButton::clicked, this, messages, [this] { load(); });
    connectGuarded(m_excel, &QPushButton::clicked, this, messages, [this] { exportToSpreadsheet(); });
    connectGuarded(m_print, &QPushButton::clicked, this, messages, [this] { print(); });
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);
    // Who changed anything depends on the period.
    connectGuarded(m_from, &QDateEdit::dateChanged, this, messages, [this] { fillPeople(); });
    connectGuarded(m_to, &QDateEdit::dateChanged, this, messages, [this] { fillPeople(); });
}

HistoryPeriodWindow::~HistoryPeriodWindow() = default;

void HistoryPeriodWindow::setAllKindsAllowed(bool allowed)
{
    m_allKindsAllowed = allowed;
    if (!allowed)
        m_kind->setCurrentIndex(m_kind->findData(int(HistoryKind::Entries)));
    m_kind->setEnabled(allowed);
}

HistoryFilter HistoryPeriodWindow::filter() const
{
    HistoryFilter f;
    f.from = m_from->date();
    f.to = m_to->date();
    f.who = m_who->currentIndex() > 0 ? m_who->currentText() : QString();
    f.kind = m_allKindsAllowed ? HistoryKind(m_kind->currentData().toInt()) : HistoryKind::Entries;
    return f;
}

void HistoryPeriodWindow::fillPeople()
{
    if (!isVisible() && m_who->count() > 0)
        return; // filled once the window opens
    const QString chosen = m_who->currentText();
    const QStringList people =
        m_from->date() <= m_to->date()
            ? ChangeHistory(&m_context.data->connection()).people(m_from->date(), m_to->date())
            : QStringList();
    m_who->clear();
    m_who->addItem(kEverybody);
    m_who->addItems(people);
    m_who->setCurrentIndex(std::max(0, m_who->findText(chosen)));
}

void HistoryPeriodWindow::openForPeriod()
{
    const QDate today = m_today();
    {
        const QSignalBlocker a(m_from), b(m_to);
        m_from->setDate(QDate(today.year(), today.month(), 1));
        m_to->setDate(today);
    }
    m_who->clear();
    fillPeople();
    load();
    m_context.services.exec(this);
}

void HistoryPeriodWindow::load()
{
    const HistoryFilter f = filter();
    if (f.from > f.to) {
        m_context.services.messages->error(QStringLiteral("Ошибка"),
                                           QStringLiteral("Начало периода позже его конца."));
        m_from->setFocus();
        return;
    }
    QList<HistoryLine> lines;
    {
        WaitCursor wait;
        m_count->setText(QStringLiteral("Читаются изменения…"));
        m_count->repaint();
        lines = ChangeHistory(&m_context.data->connection())
                    .forPeriod(f, m_limit + 1, [this](qint64 done, qint64 total) {
                        m_count->setText(QStringLiteral("Подготовлено %1 из %2…").arg(done).arg(total));
                        m_count->repaint();
                    });
    }
    m_shown = f;
    m_cut = lines.size() > m_limit;
    if (m_cut) {
        lines.resize(m_limit);
        m_count->setText(cutText());
    } else {
        m_count->setText(historyCountText(lines.size()));
    }
    m_model->setLines(std::move(lines));
    HistoryModel::fitRows(m_grid);
    m_grid->scrollToTop();
    const bool any = m_model->rowCount() > 0;
    m_excel->setEnabled(any);
    m_print->setEnabled(any);
}

QString HistoryPeriodWindow::cutText() const
{
    return QStringLiteral("Показаны последние %1 изменений: их больше. Сузьте период или отбор.")
        .arg(m_limit);
}

QString HistoryPeriodWindow::periodTitle() const
{
    return QStringLiteral("Изменения за период с %1 по %2")
        .arg(m_shown.from.toString(QStringLiteral("dd.MM.yyyy")),
             m_shown.to.toString(QStringLiteral("dd.MM.yyyy")));
}

void HistoryPeriodWindow::exportToSpreadsheet()
{
    Workbook book = m_spreadsheet->create(QStringLiteral("История изменений"));
    if (!book.isOpen()) {
        showSpreadsheetProblem(m_context.services.messages, *book.problem());
        return;
    }
    {
        WaitCursor wait;
        book.write(1, 1, periodTitle(), CellOption::Text | CellOption::Bold);
        if (m_cut) // the sheet says it is not the whole period
            book.write(1, 2, cutText(), CellOption::Text);
        for (int c = 0; c < HistoryModel::ColumnCount; ++c)
            book.write(c + 1, 3, HistoryModel::columnTitle(c), CellOption::Text | CellOption::Bold);
        int row = 4;
        for (const HistoryLine &line : m_model->lines()) {
            for (int c = 0; c < HistoryModel::ColumnCount; ++c)
                book.write(c + 1, row, HistoryModel::cellText(line, c, QStringLiteral("; ")),
                           CellOption::Text |
                               (c == HistoryModel::Changes ? CellOptions() : CellOption::FitColumn));
            ++row;
        }
    }
    if (const auto problem = m_spreadsheet->deliver(book))
        showSpreadsheetProblem(m_context.services.messages, *problem);
}

report::Document HistoryPeriodWindow::prepareReport() const
{
    // A line's heading, then each of its changes and its note on a row of its own: the pages do not
    // wrap long texts.
    report::TableData data(QStringLiteral("h_Report"),
                           {QStringLiteral("id"), QStringLiteral("at"), QStringLiteral("who"),
                            QStringLiteral("what"), QStringLiteral("change")});
    for (const HistoryLine &line : m_model->lines()) {
        // The changes packed into rows that fit the page's width (a new or deleted entry's fields on
        // two rows, not thirteen).
        constexpr qsizetype kRowChars = 140;
        QStringList rows;
        for (const QString &change : line.changes) {
            if (!rows.isEmpty() && rows.last().size() + 2 + change.size() <= kRowChars)
                rows.last() += QStringLiteral("; ") + change;
            else
                rows << change;
        }
        if (!line.note.isEmpty())
            rows << QStringLiteral("Примечание: ") + line.note;
        if (rows.isEmpty())
            rows << QString();
        for (const QString &r : rows)
            data.append({line.id, line.at, line.who, line.what + u' ' + line.action, r});
    }
    report::Report report(report::Layout::fromFile(QStringLiteral(":/history/layouts/historyreport.json")));
    report.setLabel(QStringLiteral("TitleLabel"), periodTitle());
    report.setLabel(QStringLiteral("FilterLabel"),
                    QStringLiteral("Кто: %1. Что: %2.")
                            .arg(m_shown.who.isEmpty() ? QStringLiteral("все") : m_shown.who,
                                 ChangeHistory::kindText(m_shown.kind).toLower()) +
                        (m_cut ? u' ' + cutText() : QString()));
    return report.prepare(data);
}

void HistoryPeriodWindow::print()
{
    report::Document document;
    {
        WaitCursor wait;
        document = prepareReport();
    }
    m_context.windows->get<report::PreviewWindow>()->preview(
        std::move(document), report::PreviewWindow::Zoom::PageWidth, QStringLiteral("История изменений"));
}

} // namespace tabel
