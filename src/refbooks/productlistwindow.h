#pragma once

#include "refbooks/booklistwindow.h"

#include <memory>
#include <optional>

namespace Ui {
class ProductListWindow;
}

namespace tabel {

// The products: maintained from the register's menu, picked by the operation editor. A double-click
// changes (maintenance) or chooses (selection) a product: the window has no button for either.
class ProductListWindow : public BookListWindow
{
    Q_OBJECT
public:
    struct Choice
    {
        QString mark; // trimmed
        qint64 id = 0;
    };

    explicit ProductListWindow(const AppContext &context, QWidget *parent = nullptr);
    ~ProductListWindow() override;

    void openForMaintenance();
    // From the operation editor's picker; nothing when the window was left without a choice.
    std::optional<Choice> pickProduct();

    void addProduct() { add(); }
    void deleteProduct();

protected:
    void addRow() override;
    void changeRow() override;
    void chooseRow() override;
    void forgetChoice() override { m_choice.reset(); }

private:
    std::unique_ptr<Ui::ProductListWindow> ui;
    std::optional<Choice> m_choice;
};

} // namespace tabel
