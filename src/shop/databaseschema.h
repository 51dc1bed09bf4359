#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace tabel {

class Connection;

// One numbered change of the database the program relies on (sql/migrations/NNNN_name.sql, built
// into the program): plain SQL, safe to run again, recording itself in accounts_dep.tabel_schema.
struct Migration
{
    int version = 0;
    QString name;
    QString sql;
    bool optional = false; // a client works without it, without what it brings
};

// Every change this program knows, in order.
const QList<Migration> &migrations();
// The newest version this program needs.
int requiredSchemaVersion();

// What a database lacks for this program, found without changing anything.
struct SchemaCheck
{
    QList<Migration> missing;     // changes not recorded as applied
    QStringList missingTables;    // shop tables the database has not at all: not a shop's database
    QStringList tablesWithoutKey; // shop tables whose id has no unique key
    QStringList unownedSequences; // "sequence (table)": an id's sequence owned by no column
    QStringList sequencesBehind;  // "sequence (table): next 1, ids up to 40": it would give a taken id
    QStringList duplicateIds; // "table: id 7 — 2 строки", "table: пустой id — 1 строка"
    bool clean() const
    {
        return missing.isEmpty() && missingTables.isEmpty() && tablesWithoutKey.isEmpty() &&
               unownedSequences.isEmpty() && sequencesBehind.isEmpty() && duplicateIds.isEmpty();
    }
    // The lines an administrator reads.
    QStringList report() const;
};

// The versions recorded as applied; empty when the database has no record of the program's at all.
QList<int> appliedSchemaVersions(Connection *connection);
SchemaCheck checkSchema(Connection *connection);

// Applies what is missing, in order, each change in one transaction, under one advisory lock so that
// two administrators cannot prepare at once. Never drops, rewrites or deletes data: where duplicate
// or empty ids stop a key, or the shop's tables are not there at all, nothing is applied and
// DataError says why. Reports each change applied.
void prepareSchema(Connection *connection, const std::function<void(const QString &)> &progress);

// The message a client shows when the database lacks a change it cannot work without, or empty.
QString schemaBehindMessage(Connection *connection, const QString &database, const QString &server);

} // namespace tabel
