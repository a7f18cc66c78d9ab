// Counts the page's own requests (fetch and XMLHttpRequest) and when the network was last busy, so
// the renderer can tell when the page has settled.
(function () {
    if (window.__trawlixNet) {
        return;
    }
    const net = (window.__trawlixNet = {pending: 0, last: performance.now()});
    const touch = () => {
        net.last = performance.now();
    };
    const fetch = window.fetch;
    if (fetch) {
        window.fetch = function (...args) {
            net.pending++;
            touch();
            return fetch.apply(this, args).finally(() => {
                net.pending--;
                touch();
            });
        };
    }
    const send = XMLHttpRequest.prototype.send;
    XMLHttpRequest.prototype.send = function (...args) {
        net.pending++;
        touch();
        this.addEventListener('loadend', () => {
            net.pending--;
            touch();
        });
        return send.apply(this, args);
    };
    try {
        new PerformanceObserver(touch).observe({type: 'resource', buffered: false});
    } catch (e) {
    }
})();
