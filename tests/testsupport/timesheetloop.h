#pragma once

namespace tabel {
class Connection;
}

namespace tabel::test {

// The month's time sheet rebuilt the way the old program did it: day by day, a statement per
// worker and shift (an entry without hours counting 0). The reference the program's rebuild is
// compared with, in the tests and the benchmark.
void timesheetLoop(Connection *connection, int year, int month);

} // namespace tabel::test
