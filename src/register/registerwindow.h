#pragma once

#include "datasetmodel.h"
#include "windowservices.h"

#include <QDate>
#include <QDialog>

#include <functional>
#include <memory>

class QTimer;

namespace Ui {
class RegisterWindow;
}

namespace tabel {

class DataModule;
class Dataset;

// The day's register: the entries of one date in four shift views. The program's working window.
class RegisterWindow : public QDialog
{
    Q_OBJECT
    Q_PROPERTY(bool acceptanceAllowed READ acceptanceAllowed WRITE setAcceptanceAllowed)
public:
    static constexpr int kVersionCheckInterval = 30000;

    RegisterWindow(DataModule *data, const WindowServices &services, QWidget *parent = nullptr);
    ~RegisterWindow() override;

    // Shared members other windows read or write.
    int shiftView() const { return m_shiftView; }
    void setShiftView(int view); // any value outside 1..4 counts as 1
    Dataset *currentQuery() const;
    QString userPassword() const { return m_userPassword; }
    void setUserPassword(const QString &password) { m_userPassword = password; }
    int buildDate() const { return m_buildDate; }
    int buildTime() const { return m_buildTime; }
    void setBuild(int date, int time)
    {
        m_buildDate = date;
        m_buildTime = time;
    }
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
    void reopenViews(const QDate &date);
    void openSummaryReports();
    void openTimesheet();

    std::unique_ptr<Ui::RegisterWindow> ui;
    DataModule *m_data;
    WindowServices m_services;
    DatasetModel *m_sources[4];
    QTimer *m_timer;
    int m_shiftView = 1;
    QString m_userPassword;
    int m_buildDate = 0;
    int m_buildTime = 0;
    bool m_acceptanceAllowed = true;
    std::function<QDate()> m_today;
};

} // namespace tabel
