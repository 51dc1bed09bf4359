#pragma once

#include "refbooks/listsearch.h"
#include "shop/bookstore.h"
#include "ui/appcontext.h"
#include "ui/datasetmodel.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;
class QTableView;

namespace tabel {

class Dataset;

// What the book lists share: a grid over the book's dataset with a search box, opened either to
// maintain the book (add, change, delete) or to choose a row for an editor's picker; the focus in
// the search box whenever the window becomes active; the row kept after a change; the deletion asked,
// done through the book store and, when refused, explained. Each list keeps its own columns, choice
// and what it does before and after a showing.
class BookListWindow : public QDialog
{
    Q_OBJECT
public:
    enum class Mode { Maintenance, Selection };
    Mode mode() const { return m_mode; }

    // "Добавить", in maintenance only.
    void add();
    // "Изменить" in maintenance, "Выбрать" in selection (and a double click on a row).
    void changeOrChoose();

protected:
    struct Controls
    {
        QTableView *grid = nullptr;
        QLineEdit *search = nullptr;
        QPushButton *add = nullptr;
        QPushButton *change = nullptr; // none on a list changed by double click only
        QPushButton *remove = nullptr;
        QPushButton *exit = nullptr;
    };
    BookListWindow(const AppContext &context, QWidget *parent);

    // Binds the grid, the search box (filtering on searchField) and the buttons. searchText turns the
    // box's text into the text searched for (by default as typed).
    void setUpList(Dataset *rows, const Controls &controls, const QVector<GridColumn> &columns,
                   const QString &searchField, SearchKeys::Keys keys,
                   std::function<QString(const QString &)> searchText = {});

    // Sets the buttons for the mode and opens the dataset; the caller shows the window with run().
    void prepareMaintenance();
    // Also empties the search box, which switches the filter off, and forgets the previous choice.
    void prepareSelection();
    void run() { m_context.services.exec(this); }

    // The dataset read again, on the same row number (or the last).
    void reopenAt(int recNo);
    // The same row number (or the last) in the dataset as it is now.
    void returnTo(int recNo);
    // Asks the question under "Удаление"; on Yes deletes the current row through remove and shows its
    // refusal. True when the row was deleted; nothing is asked outside maintenance or on an empty list.
    bool deleteCurrent(const QString &question,
                       const std::function<BookResult(BookStore &, qint64 id)> &remove);

    virtual void addRow() = 0;
    virtual void changeRow() = 0; // maintenance, on a row that is there
    virtual void chooseRow() = 0; // selection, possibly on an empty list
    virtual void forgetChoice() = 0;
    virtual void doubleClicked() { changeOrChoose(); }

    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

    AppContext m_context;
    Dataset *m_rows = nullptr;
    Controls m_controls;
    DatasetModel *m_model = nullptr;
    Mode m_mode = Mode::Maintenance;

private:
    void focusSearch();
};

} // namespace tabel
