#pragma once

#include "shop/changehistory.h"
#include "ui/appcontext.h"

#include <QDate>
#include <QDialog>

#include <functional>
#include <memory>

class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;

namespace tabel {

class HistoryModel;
class Spreadsheet;
namespace report {
class Document;
}

// "Изменения за период": every change of a date range, filtered by who made it and by what was
// changed, exported to a spreadsheet and printed.
class HistoryPeriodWindow : public QDialog
{
    Q_OBJECT
    // Taken away from the entry and acceptance roles: they see the changes of entries only.
    Q_PROPERTY(bool allKindsAllowed READ allKindsAllowed WRITE setAllKindsAllowed)
public:
    explicit HistoryPeriodWindow(const AppContext &context, QWidget *parent = nullptr);
    ~HistoryPeriodWindow() override;

    bool allKindsAllowed() const { return m_allKindsAllowed; }
    void setAllKindsAllowed(bool allowed);

    // Opens modally on the month up to today, its changes shown.
    void openForPeriod();
    // "Показать": the changes of the period and filter chosen.
    void load();
    HistoryFilter filter() const;
    const HistoryModel *model() const { return m_model; }

    // "В Excel" and "Печать".
    void exportToSpreadsheet();
    void print();
    report::Document prepareReport() const;

    // "Today"; tests fix it.
    void setClock(std::function<QDate()> today) { m_today = std::move(today); }
    // How many lines the grid takes at most (a longer list is cut, and the window says so).
    void setLimit(int limit) { m_limit = limit; }
    // Where the spreadsheets go and how they open; tests point them elsewhere.
    Spreadsheet &spreadsheet() { return *m_spreadsheet; }

private:
    void fillPeople();
    QString periodTitle() const;
    QString cutText() const;

    AppContext m_context;
    HistoryModel *m_model;
    QDateEdit *m_from;
    QDateEdit *m_to;
    QComboBox *m_who;
    QComboBox *m_kind;
    QTableView *m_grid;
    QLabel *m_count;
    QPushButton *m_excel;
    QPushButton *m_print;
    bool m_allKindsAllowed = true;
    int m_limit = ChangeHistory::kPeriodLimit;
    bool m_cut = false;    // the grid holds the newest m_limit lines of more
    HistoryFilter m_shown; // what the grid holds
    std::function<QDate()> m_today;
    std::unique_ptr<Spreadsheet> m_spreadsheet;
};

} // namespace tabel
