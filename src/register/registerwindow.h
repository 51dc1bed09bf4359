#pragma once

#include "ui/appcontext.h"
#include "ui/datasetmodel.h"

#include <QDate>
#include <QDialog>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QTimer;

namespace Ui {
class RegisterWindow;
}

namespace tabel {

class Dataset;
struct ImportSettings;

// The day's register: the entries of one date in four shift views. The program's working window.
class RegisterWindow : public QDialog
{
    Q_OBJECT
    // Taken away from the entry role: accepting an entry by double click.
    Q_PROPERTY(bool acceptanceAllowed READ acceptanceAllowed WRITE setAcceptanceAllowed)
public:
    static constexpr int kVersionCheckInterval = 30000;

    explicit RegisterWindow(const AppContext &context, QWidget *parent = nullptr);
    ~RegisterWindow() override;

    // Shown modally after a successful login; returns when the register closes.
    int openAfterLogin();

    bool isDayOff() const;
    QDate date() const;
    bool acceptanceAllowed() const { return m_acceptanceAllowed; }
    void setAcceptanceAllowed(bool allowed) { m_acceptanceAllowed = allowed; }

    // "Today" for the activation and the report preset; tests fix it.
    void setClock(std::function<QDate()> today) { m_today = std::move(today); }

    // Back to today with the four views reopened: at the first showing and after every window of the
    // program that was opened from here has closed.
    void activate();
    // The picker's date was confirmed (calendar closed or Enter).
    void applyDate();
    void refresh();
    void selectShift(int view);

    // Runs another of the program's windows from here; the register activates again when it returns.
    int runWindow(QDialog *window);
    // Every return from a window opened here makes the register active again.
    void activateAfterReturn();

    // The row actions: "Добавить" and "Изменить" through the entry editor, "Удалить" with the day's
    // hours posted again, and a double click that accepts an entry or takes the acceptance back.
    void addEntry();
    void changeEntry();
    void deleteEntry();
    void toggleAcceptance();
    // "История изменений" (F7, the menu, the row's context menu) of the current entry, and the
    // changes of a period; both only where the database keeps a history.
    void showEntryHistory();
    void showPeriodHistory();

    // The hidden "Импорт": the legacy tables copied in, with the status line shown meanwhile. The
    // window repaints but takes no input until it is over; a failure is thrown to the caller.
    void runImport(const ImportSettings &settings);
    bool isImporting() const { return m_importing; }

Q_SIGNALS:
    void versionCheckDue();
    void timesheetRequested(const QDate &date);
    void summaryReportsRequested(const QDate &from, const QDate &to);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setDayOff(bool on);
    void styleDayOff();
    void styleShiftButtons();
    void openSummaryReports();
    void openTimesheet();
    void setUpHistory();

    std::unique_ptr<Ui::RegisterWindow> ui;
    AppContext m_context;
    DatasetModel *m_sources[4];
    QTimer *m_timer;
    QWidget *m_calendarPopup = nullptr;
    bool m_acceptanceAllowed = true;
    bool m_importing = false;
    QMenu *m_historyMenu = nullptr;
    QAction *m_entryHistoryAction = nullptr;
    std::function<QDate()> m_today;
};

} // namespace tabel
