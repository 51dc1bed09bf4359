#pragma once

#include "ui/appcontext.h"

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class ProductListWindow;
}

namespace tabel {

class DatasetModel;

// The products: maintained from the register's menu, picked by the operation editor. A double-click
// changes (maintenance) or chooses (selection) a product: the window has no button for either.
class ProductListWindow : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { Maintenance, Selection };
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

    Mode mode() const { return m_mode; }
    void addProduct();
    void changeOrChoose();
    void deleteProduct();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<Ui::ProductListWindow> ui;
    AppContext m_context;
    DatasetModel *m_model;
    Mode m_mode = Mode::Maintenance;
    std::optional<Choice> m_choice;
};

} // namespace tabel
