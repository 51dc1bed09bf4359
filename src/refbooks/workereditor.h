#pragma once

#include "ui/appcontext.h"

#include <QDialog>

#include <memory>

namespace Ui {
class WorkerEditor;
}

class QComboBox;

namespace tabel {

class Dataset;

// Edits one worker of the book: the name, and the department whose text goes into the position
// column the list shows. The position and role look-ups are offered; nothing stores them.
class WorkerEditor : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { Add, Change };

    explicit WorkerEditor(const AppContext &context, QWidget *parent = nullptr);
    ~WorkerEditor() override;

    // Each answers true when the worker was saved.
    bool add();
    // The worker's key, name and the text of its position column as the list shows them.
    bool change(int id, const QString &name, const QString &position);

    Mode mode() const { return m_mode; }
    // "Записать".
    void save();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void reopenLookups();

    std::unique_ptr<Ui::WorkerEditor> ui;
    AppContext m_context;
    Mode m_mode = Mode::Add;
    int m_id = 0;
    QString m_oldPosition;
    Dataset *m_staffpos;
    Dataset *m_department;
    Dataset *m_roles;
};

} // namespace tabel
