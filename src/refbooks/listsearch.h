#pragma once

#include <QObject>
#include <QString>

class QLineEdit;
class QPushButton;

namespace tabel {

class Dataset;

// The filter a list's search sets: the rows whose field begins with the typed text, as
// "field like '<text>%'". The text is quoted, so that an apostrophe is searched for like any other
// character; % and _ typed stay wildcards.
QString beginsWithFilter(const QString &field, const QString &typed);

// Applies a search box's text to a list: empty text switches the filter off.
void applySearch(Dataset *dataset, const QString &field, const QString &typed);

// The keys of a list's search box. Up and Down move the list's current row while the focus stays in
// the box. With Keys::UpDownOnly nothing else is touched; with Keys::TypingOnly the box also ignores
// Delete, Left, Right, Home and End (typed characters, Backspace and the clipboard still edit it).
class SearchKeys : public QObject
{
public:
    enum class Keys { UpDownOnly, TypingOnly };
    SearchKeys(QLineEdit *box, Dataset *dataset, Keys keys);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_box;
    Dataset *m_dataset;
    Keys m_keys;
};

} // namespace tabel
