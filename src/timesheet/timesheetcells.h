#pragma once

#include <QColor>

namespace tabel {

enum class DayKind { Workday, Weekend, PastMonthEnd };

// How a day cell of the time sheet grids is drawn (unless it is the highlighted selected cell):
// zeros silver (red on a weekend, invisible past the month's end), 8 bold, above 8 bold on green.
struct DayCellLook
{
    QColor text;
    bool bold = false;
    QColor background; // invalid: the grid's own
    bool operator==(const DayCellLook &) const = default;
};

namespace timesheetcolours {
inline const QColor red(255, 0, 0);
inline const QColor silver(192, 192, 192);
inline const QColor moneyGreen(192, 220, 192);
inline const QColor totalBackground(225, 228, 255);
} // namespace timesheetcolours

// windowText and window are the system colours of text and of a window's background.
DayCellLook dayCellLook(int value, DayKind kind, const QColor &windowText, const QColor &window);
// The day column's title colour.
QColor dayTitleColour(DayKind kind, const QColor &windowText);

} // namespace tabel
