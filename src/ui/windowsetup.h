#pragma once

class QDialog;

namespace tabel {

// The frame a window has.
enum class Frame {
    Fixed,   // a fixed border, sized to its contents: the layout's size, and the user cannot resize it
    Sizable, // the user may resize and maximise it
};
// Where it opens.
enum class Placement {
    ScreenCentre,
    OverActiveWindow, // centred on the window that opens it, or on the screen when there is none
};

// The shop works in Russian: day-first dates, decimal comma, no digit grouping in the grids.
void useShopLocale();

// What every window of the program does the same way: its frame, where it opens, no help button.
void setUpWindow(QDialog *window, Frame frame, Placement placement);

} // namespace tabel
