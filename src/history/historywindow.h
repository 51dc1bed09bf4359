#pragma once

#include "shop/changehistory.h"
#include "ui/appcontext.h"

#include <QDialog>

class QLabel;
class QTableView;

namespace tabel {

class HistoryModel;

// "История изменений" of one entry, or of one operation's price and norms: read-only, newest first.
class HistoryWindow : public QDialog
{
    Q_OBJECT
public:
    explicit HistoryWindow(const AppContext &context, QWidget *parent = nullptr);

    // Shows the changes modally; subject names what they are of (the entry's worker, date, shift).
    void showEntry(int entryId, const QString &subject);
    void showOperation(int operationId, const QString &subject);

    const HistoryModel *model() const { return m_model; }

private:
    void present(QList<HistoryLine> lines, const QString &subject);

    AppContext m_context;
    HistoryModel *m_model;
    QLabel *m_subject;
    QLabel *m_count;
    QTableView *m_grid;
};

// "Изменений: 3", or "Изменений нет."
QString historyCountText(qsizetype count);

} // namespace tabel
