#pragma once

#include "ui/appcontext.h"

#include <QDialog>

#include <memory>
#include <optional>

namespace Ui {
class OperationListWindow;
}

namespace tabel {

class Dataset;
class DatasetModel;
class Spreadsheet;

// One row of Oper: an operation with its product, kind and lowest norm price, as the operation list
// hands it back to whoever picked it.
struct OperationRow
{
    int id = 0;
    qint64 productId = 0; // i_id
    int kindId = 0;       // oper_vid
    QString mark;         // MARKA
    QString kind;         // VID
    int naimen = 0;       // 0 finished products, otherwise blanks
    qint64 norms = 0;     // norma: the number of norm rows
    double price = 0;     // cena: the lowest norm price
    static OperationRow current(const Dataset *oper);
};

// The operations and their prices: maintained from the register's menu ("Цены"), picked by the
// entry editor, exported whole to a spreadsheet.
class OperationListWindow : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { Maintenance, Selection };

    explicit OperationListWindow(const AppContext &context, QWidget *parent = nullptr);
    ~OperationListWindow() override;

    void openForMaintenance();
    // From the entry editor's picker, on the entry's operation (or the first row); nothing when the
    // window was left without a choice or the list showed nothing to choose.
    std::optional<OperationRow> pickOperation(std::optional<int> currentOperation = std::nullopt);

    Mode mode() const { return m_mode; }
    Spreadsheet &spreadsheet() { return *m_spreadsheet; }
    void addOperation();
    void changeOrChoose();
    void deleteOperation();
    void exportToSpreadsheet();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void doubleClicked();

    std::unique_ptr<Ui::OperationListWindow> ui;
    AppContext m_context;
    DatasetModel *m_model;
    Dataset *m_xlsRep;
    std::unique_ptr<Spreadsheet> m_spreadsheet;
    Mode m_mode = Mode::Maintenance;
    bool m_searchHidden = false; // once a pick has used the search box, maintenance shows none
    std::optional<OperationRow> m_choice;
};

} // namespace tabel
