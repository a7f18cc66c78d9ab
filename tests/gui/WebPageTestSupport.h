#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>

// A PNG picture of one colour, for pages whose pictures a test checks by their width.
inline QByteArray PngBytes(int nWidth, int nHeight, const QColor& color)
{
    QImage image(nWidth, nHeight, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Runs strScript in page and waits up to 10 s for its value (invalid when none came).
inline QVariant RunScript(QWebEnginePage* page, const QString& strScript)
{
    QVariant result;
    bool bDone = false;
    page->runJavaScript(strScript, [&](const QVariant& value) {
        result = value;
        bDone = true;
    });
    static_cast<void>(QTest::qWaitFor([&] { return bDone; }, 10000));
    return result;
}
