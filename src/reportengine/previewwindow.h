#pragma once

#include "document.h"

#include <QDialog>

class QLabel;
class QScrollArea;
class QToolButton;

namespace tabel::report {

// The print preview: the prepared pages as they will print, with page navigation, zoom, printing
// through the system dialog and saving (PDF by default).
class PreviewWindow : public QDialog
{
    Q_OBJECT
public:
    enum class Zoom { WholePage, PageWidth, Custom };

    PreviewWindow(Document document, Zoom zoom, const QString &title, QWidget *parent = nullptr);

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
    void render();
    double fitScale(Zoom zoom) const;

    Document m_document;
    QString m_title;
    int m_page = 0;
    Zoom m_zoom;
    double m_scale = 1;
    QScrollArea *m_area;
    QLabel *m_view;
    QLabel *m_pageLabel;
};

} // namespace tabel::report
