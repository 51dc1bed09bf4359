#include "previewwindow.h"

#include "formula.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace tabel::report {

namespace {
QToolButton *toolButton(QWidget *parent, const QString &name, const QString &text, const QString &tip,
                        QStyle::StandardPixmap icon = QStyle::SP_CustomBase)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(tip);
    if (icon != QStyle::SP_CustomBase) {
        b->setIcon(parent->style()->standardIcon(icon));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    b->setAutoRaise(true);
    return b;
}
} // namespace

PreviewWindow::PreviewWindow(Document document, Zoom zoom, const QString &title, QWidget *parent)
    : QDialog(parent), m_document(std::move(document)), m_title(title), m_zoom(zoom)
{
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(title.isEmpty() ? QStringLiteral("Предварительный просмотр")
                                   : QStringLiteral("Предварительный просмотр: ") + title);
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);

    auto *bar = new QHBoxLayout;
    auto *first = toolButton(this, QStringLiteral("firstButton"), QStringLiteral("|<"),
                             QStringLiteral("Первая страница (Home)"));
    auto *prev = toolButton(this, QStringLiteral("previousButton"), QStringLiteral("<"),
                            QStringLiteral("Предыдущая страница (PgUp)"));
    m_pageLabel = new QLabel(this);
    m_pageLabel->setObjectName(QStringLiteral("pageLabel"));
    auto *next = toolButton(this, QStringLiteral("nextButton"), QStringLiteral(">"),
                            QStringLiteral("Следующая страница (PgDown)"));
    auto *last = toolButton(this, QStringLiteral("lastButton"), QStringLiteral(">|"),
                            QStringLiteral("Последняя страница (End)"));
    auto *whole = toolButton(this, QStringLiteral("wholePageButton"), QStringLiteral("Страница целиком"),
                             QStringLiteral("Показать страницу целиком"));
    auto *width = toolButton(this, QStringLiteral("pageWidthButton"), QStringLiteral("По ширине"),
                             QStringLiteral("По ширине страницы"));
    auto *in = toolButton(this, QStringLiteral("zoomInButton"), QStringLiteral("+"),
                          QStringLiteral("Крупнее (Ctrl++)"));
    auto *out = toolButton(this, QStringLiteral("zoomOutButton"), QStringLiteral("−"),
                           QStringLiteral("Мельче (Ctrl+-)"));
    auto *printButton = toolButton(this, QStringLiteral("printButton"), QStringLiteral("Печать"),
                                   QStringLiteral("Печать (Ctrl+P)"));
    auto *saveButton = toolButton(this, QStringLiteral("saveButton"), QStringLiteral("Сохранить"),
                                  QStringLiteral("Сохранить в PDF (Ctrl+S)"), QStyle::SP_DialogSaveButton);
    auto *closeButton = toolButton(this, QStringLiteral("closeButton"), QStringLiteral("Закрыть"),
                                   QStringLiteral("Закрыть (Esc)"));
    for (QWidget *w :
         std::initializer_list<QWidget *>{first, prev, m_pageLabel, next, last, whole, width, in, out})
        bar->addWidget(w);
    bar->addStretch();
    bar->addWidget(printButton);
    bar->addWidget(saveButton);
    bar->addWidget(closeButton);

    m_area = new QScrollArea(this);
    m_area->setObjectName(QStringLiteral("pageArea"));
    m_area->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_area->setBackgroundRole(QPalette::Dark);
    m_view = new QLabel;
    m_view->setObjectName(QStringLiteral("pageView"));
    m_area->setWidget(m_view);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_area, 1);

    connect(first, &QToolButton::clicked, this, [this] { showPage(0); });
    connect(prev, &QToolButton::clicked, this, [this] { showPage(m_page - 1); });
    connect(next, &QToolButton::clicked, this, [this] { showPage(m_page + 1); });
    connect(last, &QToolButton::clicked, this, [this] { showPage(m_document.pageCount() - 1); });
    connect(whole, &QToolButton::clicked, this, [this] { setZoom(Zoom::WholePage); });
    connect(width, &QToolButton::clicked, this, [this] { setZoom(Zoom::PageWidth); });
    connect(in, &QToolButton::clicked, this, &PreviewWindow::zoomIn);
    connect(out, &QToolButton::clicked, this, &PreviewWindow::zoomOut);
    connect(printButton, &QToolButton::clicked, this, &PreviewWindow::print);
    connect(saveButton, &QToolButton::clicked, this, &PreviewWindow::save);
    connect(closeButton, &QToolButton::clicked, this, &QDialog::accept);
    resize(1000, 800);
    setWindowState(Qt::WindowMaximized);
    render();
}

QString PreviewWindow::pageText() const
{
    return QStringLiteral("Страница %1 из %2")
        .arg(m_document.pageCount() ? m_page + 1 : 0)
        .arg(m_document.pageCount());
}

double PreviewWindow::fitScale(Zoom zoom) const
{
    const QSize room = m_area->viewport()->size() - QSize(16, 16);
    const double dpi = logicalDpiX();
    const double pageW = m_document.page.width / 25.4 * dpi;
    const double pageH = m_document.page.height / 25.4 * dpi;
    if (pageW <= 0 || pageH <= 0 || room.width() <= 0 || room.height() <= 0)
        return 1;
    if (zoom == Zoom::PageWidth)
        return room.width() / pageW;
    return std::min(room.width() / pageW, room.height() / pageH);
}

void PreviewWindow::render()
{
    if (m_zoom != Zoom::Custom)
        m_scale = fitScale(m_zoom);
    m_scale = std::clamp(m_scale, 0.1, 8.0);
    m_pageLabel->setText(pageText());
    if (m_document.pageCount() == 0) {
        m_view->clear();
        return;
    }
    const QImage image = m_document.render(m_page, logicalDpiX() * m_scale);
    m_view->setPixmap(QPixmap::fromImage(image));
    m_view->resize(image.size());
}

void PreviewWindow::showPage(int page)
{
    page = std::clamp(page, 0, std::max(0, m_document.pageCount() - 1));
    if (page == m_page && !m_view->pixmap().isNull())
        return;
    m_page = page;
    render();
    m_area->verticalScrollBar()->setValue(0);
}

void PreviewWindow::setZoom(Zoom zoom)
{
    m_zoom = zoom;
    render();
}

void PreviewWindow::zoomIn()
{
    m_zoom = Zoom::Custom;
    m_scale *= 1.25;
    render();
}

void PreviewWindow::zoomOut()
{
    m_zoom = Zoom::Custom;
    m_scale /= 1.25;
    render();
}

bool PreviewWindow::savePdf(const QString &path)
{
    try {
        m_document.writePdf(path, m_title);
        return true;
    } catch (const ReportError &e) {
        QMessageBox::critical(this, QStringLiteral("Ошибка"), e.message());
        return false;
    }
}

void PreviewWindow::save()
{
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить отчет"),
                                                (m_title.isEmpty() ? QStringLiteral("Отчет") : m_title) +
                                                    QStringLiteral(".pdf"),
                                                QStringLiteral("Документ PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    savePdf(path);
}

void PreviewWindow::print()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_title);
    printer.setFromTo(1, m_document.pageCount());
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, std::max(1, m_document.pageCount()));
    if (dialog.exec() != QDialog::Accepted)
        return;
    try {
        m_document.print(&printer);
    } catch (const ReportError &e) {
        QMessageBox::critical(this, QStringLiteral("Ошибка"), e.message());
    }
}

void PreviewWindow::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (m_zoom != Zoom::Custom)
        render();
}

void PreviewWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Print)) {
        print();
    } else if (event->matches(QKeySequence::Save)) {
        save();
    } else if (event->matches(QKeySequence::ZoomIn) ||
               (event->modifiers() & Qt::ControlModifier && event->key() == Qt::Key_Equal)) {
        zoomIn();
    } else if (event->matches(QKeySequence::ZoomOut)) {
        zoomOut();
    } else if (event->key() == Qt::Key_PageDown) {
        showPage(m_page + 1);
    } else if (event->key() == Qt::Key_PageUp) {
        showPage(m_page - 1);
    } else if (event->key() == Qt::Key_Home && event->modifiers() & Qt::ControlModifier) {
        showPage(0);
    } else if (event->key() == Qt::Key_End && event->modifiers() & Qt::ControlModifier) {
        showPage(m_document.pageCount() - 1);
    } else {
        QDialog::keyPressEvent(event);
    }
}

} // namespace tabel::report
