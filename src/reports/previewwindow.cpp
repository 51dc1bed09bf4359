#include "reports/previewwindow.h"

#include "ui_previewwindow.h"

#include "reportengine/formula.h"
#include "reports/printing.h"
#include "reports/streamedreport.h"
#include "ui/guard.h"
#include "ui/messageservice.h"
#include "ui/windowsetup.h"

#include <QFileDialog>
#include <QKeyEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>

namespace tabel::report {

PreviewWindow::PreviewWindow(const WindowServices &services, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::PreviewWindow>()), m_services(services)
{
    ui->setupUi(this);
    setUpWindow(this, Frame::Sizable, Placement::MainWindowCentre);
    ui->saveButton->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    ui->saveButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    connectGuarded(ui->firstButton, &QToolButton::clicked, this, m_services.messages,
                   [this] { showPage(0); });
    connectGuarded(ui->previousButton, &QToolButton::clicked, this, m_services.messages,
                   [this] { showPage(m_page - 1); });
    connectGuarded(ui->nextButton, &QToolButton::clicked, this, m_services.messages,
                   [this] { showPage(m_page + 1); });
    connectGuarded(ui->lastButton, &QToolButton::clicked, this, m_services.messages, [this] {
        waitForWhole();
        showPage(m_document.pageCount() - 1);
    });
    connectGuarded(ui->wholePageButton, &QToolButton::clicked, this, m_services.messages,
                   [this] { setZoom(Zoom::WholePage); });
    connectGuarded(ui->pageWidthButton, &QToolButton::clicked, this, m_services.messages,
                   [this] { setZoom(Zoom::PageWidth); });
    connectGuarded(ui->zoomInButton, &QToolButton::clicked, this, m_services.messages, [this] { zoomIn(); });
    connectGuarded(ui->zoomOutButton, &QToolButton::clicked, this, m_services.messages,
                   [this] { zoomOut(); });
    connectGuarded(ui->printButton, &QToolButton::clicked, this, m_services.messages, [this] { print(); });
    connectGuarded(ui->saveButton, &QToolButton::clicked, this, m_services.messages, [this] { save(); });
    connect(ui->closeButton, &QToolButton::clicked, this, &QDialog::accept);
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::preview(Document document, Zoom zoom, const QString &title, StreamedReport *rest)
{
    m_document = std::move(document);
    m_rest = rest && !rest->done() ? rest : nullptr;
    if (m_rest)
        connect(m_rest, &StreamedReport::finished, this,
                [this] { guarded(m_services.messages, [this] { waitForWhole(); }); });
    m_title = title;
    m_zoom = zoom;
    m_scale = 1;
    m_page = 0;
    setWindowTitle(title.isEmpty() ? QStringLiteral("Предварительный просмотр")
                                   : QStringLiteral("Предварительный просмотр: ") + title);
    setWindowState(Qt::WindowMaximized);
    render();
    m_services.exec(this);
    if (m_rest) {
        disconnect(m_rest, nullptr, this, nullptr);
        m_rest = nullptr;
    }
}

void PreviewWindow::waitForWhole()
{
    if (!m_rest)
        return;
    StreamedReport *rest = std::exchange(m_rest, nullptr);
    disconnect(rest, nullptr, this, nullptr);
    try {
        WaitCursor wait;
        m_document = rest->takeDocument();
    } catch (...) {
        // Only page 1 was ever there: the preview closes after the message.
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
        throw;
    }
    render();
}

QString PreviewWindow::pageText() const
{
    return QStringLiteral("Страница %1 из %2")
        .arg(m_document.pageCount() ? m_page + 1 : 0)
        .arg(m_rest ? QStringLiteral("…") : QString::number(m_document.pageCount()));
}

double PreviewWindow::fitScale(Zoom zoom) const
{
    const QSize room = ui->pageArea->viewport()->size() - QSize(16, 16);
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
    ui->pageLabel->setText(pageText());
    if (m_document.pageCount() == 0) {
        ui->pageView->clear();
        return;
    }
    const QImage image = m_document.render(m_page, logicalDpiX() * m_scale);
    ui->pageView->setPixmap(QPixmap::fromImage(image));
    ui->pageView->resize(image.size());
}

void PreviewWindow::showPage(int page)
{
    // Only page 1 is there while the rest is prepared: a page after it waits for the whole.
    if (page > 0)
        waitForWhole();
    page = std::clamp(page, 0, std::max(0, m_document.pageCount() - 1));
    if (page == m_page && !ui->pageView->pixmap().isNull())
        return;
    m_page = page;
    render();
    ui->pageArea->verticalScrollBar()->setValue(0);
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
    waitForWhole();
    try {
        m_document.writePdf(path, m_title);
        return true;
    } catch (const ReportError &e) {
        m_services.messages->error(QStringLiteral("Ошибка"), e.message());
        return false;
    }
}

void PreviewWindow::save()
{
    QFileDialog dialog(this, QStringLiteral("Сохранить отчет"),
                       (m_title.isEmpty() ? QStringLiteral("Отчет") : m_title) + QStringLiteral(".pdf"),
                       QStringLiteral("Документ PDF (*.pdf)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    if (m_services.exec(&dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    QString path = dialog.selectedFiles().constFirst();
    if (!path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    savePdf(path);
}

void PreviewWindow::print()
{
    waitForWhole();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_title);
    printer.setFromTo(1, m_document.pageCount());
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, std::max(1, m_document.pageCount()));
    if (m_services.exec(&dialog) != QDialog::Accepted)
        return;
    try {
        printDocument(m_document, &printer);
    } catch (const ReportError &e) {
        m_services.messages->error(QStringLiteral("Ошибка"), e.message());
    }
}

void PreviewWindow::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (m_zoom != Zoom::Custom)
        guarded(m_services.messages, [this] { render(); });
}

void PreviewWindow::keyPressEvent(QKeyEvent *event)
{
    if (!guarded(m_services.messages, [this, event] { handleKey(event); }))
        event->accept();
}

void PreviewWindow::handleKey(QKeyEvent *event)
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
        waitForWhole();
        showPage(m_document.pageCount() - 1);
    } else {
        QDialog::keyPressEvent(event);
    }
}

} // namespace tabel::report
