#pragma once

#include "ui/appcontext.h"

#include <QDialog>

#include <memory>

namespace Ui {
class OperationEditor;
}

namespace tabel {

struct OperationRow;

// Edits one operation: which kind of work on which product, for which product kind. Product and
// kind are chosen through their lists only.
class OperationEditor : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { Add, Change };

    explicit OperationEditor(const AppContext &context, QWidget *parent = nullptr);
    ~OperationEditor() override;

    // Each answers true when the operation was saved (Oper is then reopened).
    bool add();
    bool change(const OperationRow &row);

    Mode mode() const { return m_mode; }
    // The "..." buttons and "Записать".
    void pickProduct();
    void pickKind();
    void save();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::OperationEditor> ui;
    AppContext m_context;
    Mode m_mode = Mode::Add;
    int m_id = 0;
    qint64 m_productId = 0;
    int m_kindId = 0;
};

} // namespace tabel
