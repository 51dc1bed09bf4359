#pragma once

#include "ui/appcontext.h"

#include <QDialog>

#include <memory>

namespace Ui {
class OperationKindEditor;
}

namespace tabel {

// Edits one operation kind: its name, unique regardless of letter case. Writes through the shared
// dataset Vid_oper, whose current row is the kind being changed.
class OperationKindEditor : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { Add, Change };

    explicit OperationKindEditor(const AppContext &context, QWidget *parent = nullptr);
    ~OperationKindEditor() override;

    // Each answers true when the kind was saved (Vid_oper is then reopened).
    bool add();
    bool change(int id, const QString &name);

    Mode mode() const { return m_mode; }
    // "Записать".
    void save();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::OperationKindEditor> ui;
    AppContext m_context;
    Mode m_mode = Mode::Add;
    int m_id = 0;
};

} // namespace tabel
