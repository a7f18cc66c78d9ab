#include "RenderServer.h"

#include <cstdio>
#include <unistd.h>

#include <QCoreApplication>
#include <QUrl>

#include "PageRenderer.h"

namespace
{

void writeOut(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

QByteArray oneLine(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text.toUtf8();
}

} // namespace

CRenderServer::CRenderServer(CPageRenderer& renderer, QObject* parent)
    : QObject(parent)
    , m_renderer(renderer)
    , m_input(STDIN_FILENO, QSocketNotifier::Read)
{
    connect(&m_input, &QSocketNotifier::activated, this, &CRenderServer::readInput);
    writeOut("READY\n");
}

void CRenderServer::readInput()
{
    char chunk[65536];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n <= 0) {
        // The engine has gone (or closed our input): nothing more to do.
        m_input.setEnabled(false);
        QCoreApplication::exit(0);
        return;
    }
    m_buffer.append(chunk, n);
    takeLines();
}

void CRenderServer::takeLines()
{
    while (!m_bBusy) {
        const qsizetype end = m_buffer.indexOf('\n');
        if (end < 0) {
            return;
        }
        const QString line = QString::fromUtf8(m_buffer.left(end));
        m_buffer.remove(0, end + 1);
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.value(0) == QStringLiteral("COOKIE")) {
            m_renderer.AddCookie(line.section(QLatin1Char('\t'), 1));
        } else if (fields.value(0) == QStringLiteral("LIMIT") && fields.size() >= 2) {
            m_renderer.SetMaxBytes(fields[1].toLongLong());
        } else if (fields.value(0) == QStringLiteral("RENDER") && fields.size() >= 3) {
            m_bBusy = true;
            m_renderer.Render(QUrl(line.section(QLatin1Char('\t'), 2)), fields[1].toInt(),
                              [this](const RenderedPage& page) {
                                  answer(page);
                                  m_bBusy = false;
                                  takeLines();
                              });
        }
    }
}

void CRenderServer::answer(const RenderedPage& page)
{
    for (const QString& note : page.notes) {
        writeOut("NOTE\t" + oneLine(note) + '\n');
    }
    const char* status = page.status == RenderedPage::Status::Ok          ? "ok"
                         : page.status == RenderedPage::Status::Unsettled ? "unsettled"
                         : page.status == RenderedPage::Status::TooLarge  ? "toolarge"
                                                                          : "failed";
    const bool bWritten = page.status == RenderedPage::Status::Ok || page.status == RenderedPage::Status::Unsettled;
    const QByteArray& html = bWritten ? page.html : QByteArray();
    writeOut(QByteArray("DONE\t") + status + '\t' + QByteArray::number(html.size()) + '\t' + oneLine(page.strUrl) +
             '\n');
    writeOut(html);
}
