#pragma once

#include "testsupport/testdatabase.h"

#include <QObject>

#include <memory>

namespace tabel::test {

// A test program with a database of its own, made before its first test function and dropped after
// its last: derive the test class from this instead of QObject.
class DatabaseTest : public QObject
{
    Q_OBJECT
protected:
    std::unique_ptr<TestDatabase> db;

private Q_SLOTS:
    void initTestCase() { db = std::make_unique<TestDatabase>(); }
    void cleanupTestCase() { db.reset(); }
};

} // namespace tabel::test
