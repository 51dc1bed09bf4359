#pragma once

#include "ui/appcontext.h"

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class WorkerListWindow;
}

namespace tabel {

class DatasetModel;

// The shop's workers: maintained from the register's menu, picked by the entry editor.
class WorkerListWindow : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { Maintenance, Selection };
    struct Choice
    {
        QString name; // trimmed
        int id = 0;
    };

    explicit WorkerListWindow(const AppContext &context, QWidget *parent = nullptr);
    ~WorkerListWindow() override;

    // From the register's menu: add, change, delete; the search text stays from the last time.
    void openForMaintenance();
    // From the entry editor's picker; nothing when the window was left without a choice or the list
    // showed no worker.
    std::optional<Choice> pickWorker();

    Mode mode() const { return m_mode; }
    void addWorker();
    void changeOrChoose();
    void deleteWorker();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void reopenAt(int recNo);

    std::unique_ptr<Ui::WorkerListWindow> ui;
    AppContext m_context;
    DatasetModel *m_model;
    Mode m_mode = Mode::Maintenance;
    std::optional<Choice> m_choice;
};

} // namespace tabel
