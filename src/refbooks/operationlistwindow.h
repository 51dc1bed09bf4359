#pragma once

#include "refbooks/booklistwindow.h"
#include "shop/bookrows.h"

#include <memory>
#include <optional>

namespace Ui {
class OperationListWindow;
}

namespace tabel {

class Dataset;
class Spreadsheet;

// The operations and their prices: maintained from the register's menu ("Цены"), picked by the
// entry editor, exported whole to a spreadsheet.
class OperationListWindow : public BookListWindow
{
    Q_OBJECT
public:
    explicit OperationListWindow(const AppContext &context, QWidget *parent = nullptr);
    ~OperationListWindow() override;

    void openForMaintenance();
    // From the entry editor's picker, on the entry's operation (or the first row); nothing when the
    // window was left without a choice or the list showed nothing to choose.
    std::optional<OperationRow> pickOperation(std::optional<int> currentOperation = std::nullopt);

    Spreadsheet &spreadsheet() { return *m_spreadsheet; }
    void addOperation() { add(); }
    void deleteOperation();
    void exportToSpreadsheet();

protected:
    void addRow() override;
    void changeRow() override;
    void chooseRow() override;
    void forgetChoice() override { m_choice.reset(); }
    void doubleClicked() override; // with "Цены" ticked, the operation's norms

private:
    std::unique_ptr<Ui::OperationListWindow> ui;
    Dataset *m_xlsRep;
    std::unique_ptr<Spreadsheet> m_spreadsheet;
    bool m_searchHidden = false; // once a pick has used the search box, maintenance shows none
    std::optional<OperationRow> m_choice;
};

} // namespace tabel
