#include "history/historywindow.h"

#include "data/datamodule.h"
#include "history/historymodel.h"
#include "shop/changehistory.h"
#include "ui/guard.h"
#include "ui/windowsetup.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace tabel {

QString historyCountText(qsizetype count)
{
    return count == 0 ? QStringLiteral("Изменений нет.") : QStringLiteral("Изменений: %1").arg(count);
}

HistoryWindow::HistoryWindow(const AppContext &context, QWidget *parent)
    : QDialog(parent), m_context(context), m_model(new HistoryModel(this)), m_subject(new QLabel(this)),
      m_count(new QLabel(this)), m_grid(new QTableView(this))
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("История изменений"));
    m_subject->setObjectName(QStringLiteral("subjectLabel"));
    QFont bold = m_subject->font();
    bold.setBold(true);
    m_subject->setFont(bold);
    m_subject->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_count->setObjectName(QStringLiteral("countLabel"));
    m_grid->setObjectName(QStringLiteral("grid"));
    m_grid->setModel(m_model);
    HistoryModel::setUpGrid(m_grid);
    auto *close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_count);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_subject);
    layout->addWidget(m_grid);
    layout->addLayout(buttons);
    resize(1100, 520);
    setUpWindow(this, Frame::Sizable, Placement::MainWindowCentre);
}

void HistoryWindow::present(QList<HistoryLine> lines, const QString &subject)
{
    m_subject->setText(subject);
    m_count->setText(historyCountText(lines.size()));
    m_model->setLines(std::move(lines));
    HistoryModel::fitRows(m_grid);
    m_grid->scrollToTop();
    if (m_model->rowCount() > 0)
        m_grid->selectRow(0);
    m_grid->setFocus();
    m_context.services.exec(this);
}

void HistoryWindow::showEntry(int entryId, const QString &subject)
{
    QList<HistoryLine> lines;
    {
        WaitCursor wait;
        lines = ChangeHistory(&m_context.data->connection()).forEntry(entryId);
    }
    present(std::move(lines), subject);
}

void HistoryWindow::showOperation(int operationId, const QString &subject)
{
    QList<HistoryLine> lines;
    {
        WaitCursor wait;
        lines = ChangeHistory(&m_context.data->connection()).forOperation(operationId);
    }
    present(std::move(lines), subject);
}

} // namespace tabel
