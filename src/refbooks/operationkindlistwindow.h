#pragma once

#include "ui/appcontext.h"

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class OperationKindListWindow;
}

namespace tabel {

class DatasetModel;

// The operation kinds: maintained from the register's menu, picked by the operation editor.
class OperationKindListWindow : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { Maintenance, Selection };
    struct Choice
    {
        QString name; // trimmed; empty when the list showed nothing to choose
        int id = 0;
    };

    explicit OperationKindListWindow(const AppContext &context, QWidget *parent = nullptr);
    ~OperationKindListWindow() override;

    // From the register's menu: add, change, delete.
    void openForMaintenance();
    // From the operation editor's picker; nothing when the window was left without a choice.
    std::optional<Choice> pickKind();

    Mode mode() const { return m_mode; }
    // The buttons' and the double-click's actions.
    void addKind();
    void changeOrChoose();
    void deleteKind();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    std::unique_ptr<Ui::OperationKindListWindow> ui;
    AppContext m_context;
    DatasetModel *m_model;
    Mode m_mode = Mode::Maintenance;
    std::optional<Choice> m_choice;
};

} // namespace tabel
