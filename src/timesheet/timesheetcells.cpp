#include "timesheet/timesheetcells.h"

namespace tabel {

DayCellLook dayCellLook(int value, DayKind kind, const QColor &windowText, const QColor &window)
{
    using namespace timesheetcolours;
    DayCellLook look;
    look.text = kind == DayKind::Weekend ? red : kind == DayKind::PastMonthEnd ? window : windowText;
    const bool isRed = look.text == red;
    if (value == 0) {
        if (!isRed)
            look.text = silver;
        if (kind == DayKind::PastMonthEnd)
            look.text = window;
    } else if (value == 8) {
        look.bold = true;
        if (!isRed)
            look.text = windowText;
    } else if (value > 8) {
        look.bold = true;
        look.background = moneyGreen;
    }
    return look;
}

QColor dayTitleColour(DayKind kind, const QColor &windowText)
{
    return kind == DayKind::Weekend        ? timesheetcolours::red
           : kind == DayKind::PastMonthEnd ? timesheetcolours::silver
                                           : windowText;
}

} // namespace tabel
