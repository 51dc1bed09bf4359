#pragma once

#include "refbooks/booklistwindow.h"

#include <memory>
#include <optional>

namespace Ui {
class WorkerListWindow;
}

namespace tabel {

// The shop's workers: maintained from the register's menu, picked by the entry editor.
class WorkerListWindow : public BookListWindow
{
    Q_OBJECT
public:
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

    void addWorker() { add(); }
    void deleteWorker();

protected:
    void addRow() override;
    void changeRow() override;
    void chooseRow() override;
    void forgetChoice() override { m_choice.reset(); }

private:
    std::unique_ptr<Ui::WorkerListWindow> ui;
    std::optional<Choice> m_choice;
};

} // namespace tabel
