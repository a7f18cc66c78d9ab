#include "browser/PdfPages.h"

#include <QPainter>
#include <QPrinter>

CPdfPages::CPdfPages(const QByteArray& pdf)
{
    // The document reads its pages from the buffer as they are drawn.
    m_buffer.setData(pdf);
    m_buffer.open(QIODevice::ReadOnly);
    m_document.load(&m_buffer);
}

bool CPdfPages::IsReady() const
{
    return m_document.status() == QPdfDocument::Status::Ready && m_document.pageCount() > 0;
}

bool CPdfPages::Draw(QPrinter& printer, QPainter& painter, qreal dMaxDpi)
{
    // The painter starts at the printable area; the PDF pages carry the margins.
    const QPageLayout layout = printer.pageLayout();
    const QRect rcPage = layout.fullRectPixels(printer.resolution());
    const QPoint ptOrigin = -layout.paintRectPixels(printer.resolution()).topLeft();
    const qreal dScale = qMin<qreal>(1.0, dMaxDpi / printer.resolution());
    const QSize imageSize = (QSizeF(rcPage.size()) * dScale).toSize();
    for (int i = 0; i < m_document.pageCount(); ++i) {
        if (i > 0 && !printer.newPage()) {
            return false;
        }
        painter.drawImage(QRect(ptOrigin, rcPage.size()), m_document.render(i, imageSize));
    }
    return true;
}
