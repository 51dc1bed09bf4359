// The yardstick of start-up: the least a Qt Widgets program does to show one dialog, a label and a
// button, marked on stderr when shown as the program marks its own windows.

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <cstdio>

namespace {
class Dialog : public QDialog
{
protected:
    void showEvent(QShowEvent *event) override
    {
        QDialog::showEvent(event);
        std::fprintf(stderr, "tabel: shown MinimalDialog\n");
        std::fflush(stderr);
    }
};
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Dialog dialog;
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Пароль")));
    layout->addWidget(new QPushButton(QStringLiteral("Войти")));
    dialog.show();
    return QApplication::exec();
}
