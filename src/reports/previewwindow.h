#pragma once

#include "reportengine/document.h"
#include "ui/windowservices.h"

#include <QDialog>

#include <memory>

namespace Ui {
class PreviewWindow;
}

namespace tabel {
class StreamedReport;
}

namespace tabel::report {

// The print preview: the prepared pages as they will print, with page navigation, zoom, printing
// through the system dialog and saving (PDF by default).
class PreviewWindow : public QDialog
{
    Q_OBJECT
public:
    enum class Zoom { WholePage, PageWidth, Custom };

    explicit PreviewWindow(const WindowServices &services, QWidget *parent = nullptr);
    ~PreviewWindow() override;

    // Shows the document modally, maximised, from its first page; returns when the preview closes.
    // With rest, the document is page 1 of a report still being prepared: the page count reads "…"
    // until the rest is ready, and what needs the whole (other pages, printing, saving) waits for it.
    void preview(Document document, Zoom zoom, const QString &title, StreamedReport *rest = nullptr);
    bool isComplete() const { return !m_rest; }
    void waitForWhole(); // throws the report's failure

    const Document &document() const { return m_document; }
    int currentPage() const { return m_page; } // from 0
    double scale() const { return m_scale; }   // 1.0: actual size
    Zoom zoomMode() const { return m_zoom; }
    QString pageText() const;

    void showPage(int page);
    void setZoom(Zoom zoom);
    void zoomIn();
    void zoomOut();
    bool savePdf(const QString &path); // false, with a message, when the file cannot be written
    void save();                       // asks for the file
    void print();                      // through the system print dialog

protected:
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void handleKey(QKeyEvent *event);
    void render();
    double fitScale(Zoom zoom) const;

    std::unique_ptr<Ui::PreviewWindow> ui;
    WindowServices m_services;
    Document m_document;
    StreamedReport *m_rest = nullptr;
    QString m_title;
    int m_page = 0;
    Zoom m_zoom = Zoom::PageWidth;
    double m_scale = 1;
};

} // namespace tabel::report
