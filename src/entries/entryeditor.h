#pragma once

#include "data/sqlexec.h"
#include "shop/entrystore.h"
#include "shop/entrywarnings.h"
#include "ui/appcontext.h"

#include <QDate>
#include <QDialog>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class EntryEditor;
}

namespace tabel {

// One production entry typed in or corrected: worker and operation picked from their lists, pieces,
// rejects, colour, hours and date typed, the piece price taken from the operation and raised by the
// day-off and shift rules. Created once; what an opening does not reset survives to the next.
class EntryEditor : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { New = 1, Change = 2 };

    explicit EntryEditor(const AppContext &context, QWidget *parent = nullptr);
    ~EntryEditor() override;

    // "Добавить": a new entry of the register's date. Answers whether it was saved.
    bool addEntry(const QDate &date, bool dayOff);
    // "Изменить": the current entry of CurrentQuery; does nothing with an empty view.
    bool changeEntry(bool dayOff);

    Mode mode() const { return m_mode; }
    double price() const { return m_price; }
    int workerId() const { return m_workerId; }
    int operationId() const { return m_operationId; }
    int productId() const { return m_productId; }

    // The pickers ("..." or a click into the field), the price fields' recomputation and "Запись".
    void pickWorker();
    void pickOperation();
    void recomputePrices();
    void save();

    // "Today" for vvod; tests fix it.
    void setClock(std::function<QDate()> today) { m_today = std::move(today); }
    // The limits of the warnings before a save; the settings file's, unless a test sets them.
    void setWarningLimits(const WarningLimits &limits) { m_limits = limits; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void setPaint(bool paint);
    EntryDraft draft() const;
    // Asks about an implausible entry; false, with the focus on the first field concerned, when the
    // user goes back to it. A saved-anyway entry gets the warnings as its history note.
    bool confirmPlausible(EntryDraft *draft);

    std::unique_ptr<Ui::EntryEditor> ui;
    AppContext m_context;
    EntryStore m_store;
    Mode m_mode = Mode::New;
    bool m_dayOff = false;
    int m_workerId = 0, m_operationId = 0, m_productId = 0;
    double m_price = 0;
    // The entry being changed and its operation, as they were when the editor opened.
    int m_entryId = 0;
    int m_storedOperation = 0;
    std::function<QDate()> m_today;
    WarningLimits m_limits;
    PreparedStatement m_warningFigures;
};

} // namespace tabel
