#pragma once

#include "shop/bookrows.h"
#include "ui/appcontext.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <memory>
#include <vector>

namespace Ui {
class NormsWindow;
}

namespace tabel {

class DataModule;

// Price text of the norms grid, "#0.00#": at least two decimals, at most three (12,50; 12,345).
QString normPriceText(double price);

// The norm rows of one operation, sorted by norm figure, each cell written through the book store as
// soon as it is left. A row that is not yet in the database (the last row of the grid) becomes one
// when a cell of it is written, with the operation's o_id. It shows nothing itself: a value not
// written is signalled with its message.
class NormsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit NormsModel(DataModule *data, QObject *parent = nullptr);

    // Reads the operation's rows; read again for the same operation, the rows keep what the grid
    // holds on them (current cell, an open editor), the new-norm row passing to insertedId.
    void load(int operation, int insertedId = 0);
    int operation() const { return m_operation; }
    int savedRows() const { return int(m_rows.size()); }
    int rowOf(int normId) const; // -1 when absent
    int idAt(int row) const;     // 0 for the new row
    // Deletes a saved row unless it is the operation's last one. Answers whether it deleted; a
    // database failure throws.
    bool removeRow(int row);
    // Whether the last cell left could not be written (a value that does not fit, a refusal).
    bool lastWriteFailed() const { return m_lastWriteFailed; }
    void clearWriteFailure() { m_lastWriteFailed = false; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

Q_SIGNALS:
    void saved(int normId);
    // A typed value was not written: it does not fit, the book refused it, or the database failed
    // (databaseError, for the standard error box).
    void refused(const QModelIndex &index, const QString &typed, const QString &message, bool databaseError);

private:
    void refuse(const QModelIndex &index, const QString &typed, const QString &message, bool databaseError);

    DataModule *m_data;
    int m_operation = 0;
    std::vector<NormRow> m_rows;
    bool m_lastWriteFailed = false;
    bool m_loaded = false;
};

// The norms of one operation (opened from the operation list with "Цены" ticked).
class NormsWindow : public QDialog
{
    Q_OBJECT
public:
    explicit NormsWindow(const AppContext &context, QWidget *parent = nullptr);
    ~NormsWindow() override;

    void openForOperation(int operation);
    NormsModel *model() const { return m_model; }
    // "Удалить" and "Сохранить".
    void deleteNorm();
    void saveAndClose();
    // "История" (F7): the changes of the operation's price and norms.
    void showHistory();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool commitEditor(); // false when the cell being typed in could not be written

    std::unique_ptr<Ui::NormsWindow> ui;
    AppContext m_context;
    NormsModel *m_model;
    bool m_savedDuringCommit = false;
    int m_operation = 0;
};

} // namespace tabel
