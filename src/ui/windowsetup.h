#pragma once

class QDialog;
class QWidget;

namespace tabel {

// The frame a window has.
enum class Frame {
    Fixed,   // a fixed border, sized to its contents: the layout's size, and the user cannot resize it
    Sizable, // the user may resize and maximise it
};
// Where it opens.
enum class Placement {
    ScreenCentre,
    MainWindowCentre, // centred on the application's main window (the login's place), else the screen
};

// The application's main window, over which MainWindowCentre places the others.
void setMainWindow(QWidget *window);

// The shop works in Russian: day-first dates, decimal comma, no digit grouping in the grids.
void useShopLocale();
// Qt's own texts (the standard buttons "Да", "Нет", "Отмена") in the shop's language, from Qt's
// translations where the system has them.
void useShopTranslations();

// With TABEL_STARTUP_MARKS set, says on stderr that a window is shown ("tabel: shown LoginWindow"),
// so that the start-up benchmark can time the program from outside.
void markShown(const QWidget *window);

// What every window of the program does the same way: its frame, where it opens, no help button.
void setUpWindow(QDialog *window, Frame frame, Placement placement);

} // namespace tabel
