#pragma once

#include "refbooks/booklistwindow.h"

#include <memory>
#include <optional>

namespace Ui {
class OperationKindListWindow;
}

namespace tabel {

// The operation kinds: maintained from the register's menu, picked by the operation editor.
class OperationKindListWindow : public BookListWindow
{
    Q_OBJECT
public:
    struct Choice
    {
        QString name; // trimmed; empty when the list showed nothing to choose
        int id = 0;
    };

    explicit OperationKindListWindow(const AppContext &context, QWidget *parent = nullptr);
    ~OperationKindListWindow() override;

    void openForMaintenance();
    // From the operation editor's picker; nothing when the window was left without a choice.
    std::optional<Choice> pickKind();

    // The buttons' actions.
    void addKind() { add(); }
    void deleteKind();

protected:
    void addRow() override;
    void changeRow() override;
    void chooseRow() override;
    void forgetChoice() override { m_choice.reset(); }

private:
    std::unique_ptr<Ui::OperationKindListWindow> ui;
    std::optional<Choice> m_choice;
};

} // namespace tabel
