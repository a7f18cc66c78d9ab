#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QPdfDocument>

class QPainter;
class QPrinter;

// A PDF held in memory and drawn onto a printer page by page, each page as a picture, for printers
// that cannot take the PDF itself and for the print preview.
class CPdfPages
{
public:
    explicit CPdfPages(const QByteArray& pdf);
    CPdfPages(const CPdfPages&) = delete;
    CPdfPages& operator=(const CPdfPages&) = delete;

    // False when the bytes are not a PDF or it has no pages.
    bool IsReady() const;
    // Draws every page with painter, which paints on printer from its printable area; each page's
    // picture has at most dMaxDpi. False when the printer refused a new page.
    bool Draw(QPrinter& printer, QPainter& painter, qreal dMaxDpi);

private:
    QBuffer m_buffer;
    QPdfDocument m_document;
};
