#pragma once

#include "ui/appcontext.h"

#include <QDialog>

#include <memory>

namespace Ui {
class ProductEditor;
}

namespace tabel {

// Edits one product: its mark, unique regardless of letter case, and its rate (stored as massa).
// Products are the enterprise's goods rows, which accounts_dep.izdel presents.
class ProductEditor : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { Add, Change };

    explicit ProductEditor(const AppContext &context, QWidget *parent = nullptr);
    ~ProductEditor() override;

    // Each answers true when the product was saved (Izdel is then reopened).
    bool add();
    bool change(qint64 id, const QString &mark, double number);

    Mode mode() const { return m_mode; }
    // "Записать".
    void save();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::unique_ptr<Ui::ProductEditor> ui;
    AppContext m_context;
    Mode m_mode = Mode::Add;
    qint64 m_id = 0;
};

} // namespace tabel
