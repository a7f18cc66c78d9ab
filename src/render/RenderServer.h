#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

class CPageRenderer;
struct RenderedPage;

// Takes requests on standard input and answers on standard output, one page at a time:
//   COOKIE <TAB> netscape cookie line       a cookie for later requests
//   LIMIT <TAB> bytes                       a page larger than this is refused, not written
//   RENDER <TAB> timeout ms <TAB> address   render one page
// Each page is answered by NOTE <TAB> text lines, then
//   DONE <TAB> ok|unsettled|failed|toolarge <TAB> byte count <TAB> address
// and that many bytes of UTF-8 markup. READY is written once the browser can take requests. The
// program ends when its input ends.
class CRenderServer final : public QObject
{
    Q_OBJECT

public:
    explicit CRenderServer(CPageRenderer& renderer, QObject* parent = nullptr);
    Q_DISABLE_COPY_MOVE(CRenderServer)

private:
    void readInput();
    void takeLines();
    void answer(const RenderedPage& page);

    CPageRenderer& m_renderer;
    QSocketNotifier m_input;
    QByteArray m_buffer;
    bool m_bBusy = false;
};
