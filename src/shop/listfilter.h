#pragma once

#include <QString>

namespace tabel {

class Dataset;

// The filter a list's search sets: the rows whose field begins with the typed text, as
// "field like '<text>%'". The text is quoted, so that an apostrophe is searched for like any other
// character; % and _ typed stay wildcards.
QString beginsWithFilter(const QString &field, const QString &typed);

// Applies a search box's text to a list: empty text switches the filter off.
void applySearch(Dataset *dataset, const QString &field, const QString &typed);

} // namespace tabel
