#pragma once

#include "ui/appcontext.h"

#include <QDate>
#include <QDialog>

#include <memory>

namespace Ui {
class TimesheetWindow;
}

namespace tabel {

class Dataset;
class Spreadsheet;
class TimesheetModel;
namespace report {
class Document;
}

// The month's hours time sheet: one page per shift (1 to 3), rebuilt from the entries on demand,
// printed through the preview and exported to a spreadsheet.
class TimesheetWindow : public QDialog
{
    Q_OBJECT
public:
    explicit TimesheetWindow(const AppContext &context, QWidget *parent = nullptr);
    ~TimesheetWindow() override;

    // From the register: the month of its date, shown modally; the grids' queries closed at the end.
    void openForDate(const QDate &date);

    int month() const; // 1..12
    int year() const;
    void selectMonth(int year, int month); // the lists, then the month change
    void monthChanged();
    void refresh();
    void rebuild();
    void print();
    void exportToSpreadsheet();

    // The printed month (also for tests and the benchmark).
    report::Document prepareReport();
    Dataset *printQuery() const { return m_print; }
    Spreadsheet &spreadsheet() { return *m_spreadsheet; }
    TimesheetModel *model(int shift) const { return m_models[shift - 1]; }

public Q_SLOTS:
    void reject() override;

private:
    void activated();
    void setBusy(bool busy);

    std::unique_ptr<Ui::TimesheetWindow> ui;
    AppContext m_context;
    TimesheetModel *m_models[3];
    Dataset *m_print;
    std::unique_ptr<Spreadsheet> m_spreadsheet;
    bool m_exporting = false;
};

} // namespace tabel
