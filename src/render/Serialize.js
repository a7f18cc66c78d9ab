// Writes the document as it is shown now: the current DOM, each picture with the address the browser
// chose, form values as shown, open shadow roots and same-origin frames flattened into the markup.
// Scripts, event handlers, javascript: addresses and <noscript> go, so the copy shows the same without
// running anything. Returns {html, notes}, or tooLarge when the markup has more characters than
// trawlixMaxChars, if that is set.
(function () {
    const VOID = new Set(['area', 'base', 'br', 'col', 'embed', 'hr', 'img', 'input', 'keygen', 'link', 'meta',
                          'param', 'source', 'track', 'wbr']);
    const URL_ATTRS = new Set(['href', 'src', 'action', 'formaction', 'xlink:href', 'data', 'poster', 'background']);
    const notes = [];
    const escText = (s) => s.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
    const escAttr = (s) => s.replace(/&/g, '&amp;').replace(/"/g, '&quot;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
    const isScriptUrl = (v) => /^[\s\u0000-\u001f]*(javascript|vbscript):/i.test(v.replace(/[\t\n\r]/g, ''));

    function attrs(el, over) {
        let out = '';
        for (const a of el.attributes) {
            const n = a.name.toLowerCase();
            if (n.startsWith('on') || Object.prototype.hasOwnProperty.call(over, n)) {
                continue;
            }
            if (!/^[a-z_:][-a-z0-9_:.]*$/i.test(a.name)) {
                continue;
            }
            if (URL_ATTRS.has(n) && isScriptUrl(a.value)) {
                continue;
            }
            out += ' ' + a.name + '="' + escAttr(a.value) + '"';
        }
        for (const k of Object.keys(over)) {
            if (over[k] === true) {
                out += ' ' + k;
            } else if (over[k] !== null && over[k] !== undefined && over[k] !== false) {
                out += ' ' + k + '="' + escAttr(String(over[k])) + '"';
            }
        }
        return out;
    }

    // SVG and MathML: a copy without scripts and handlers, in the browser's own markup.
    function foreign(el) {
        const copy = el.cloneNode(true);
        copy.querySelectorAll('script').forEach((s) => s.remove());
        for (const e of [copy, ...copy.querySelectorAll('*')]) {
            for (const a of [...e.attributes]) {
                if (/^on/i.test(a.name) || isScriptUrl(a.value)) {
                    e.removeAttribute(a.name);
                }
            }
        }
        return copy.outerHTML;
    }

    // A picture the page made itself (blob:) is kept inside the copy, as a data: address.
    function pictureSource(img) {
        const src = img.currentSrc || img.src || '';
        if (!src.startsWith('blob:')) {
            return src || null;
        }
        try {
            const canvas = document.createElement('canvas');
            canvas.width = img.naturalWidth;
            canvas.height = img.naturalHeight;
            canvas.getContext('2d').drawImage(img, 0, 0);
            return canvas.toDataURL('image/png');
        } catch (e) {
            notes.push('picture made by the page could not be kept: ' + src);
            return null;
        }
    }

    function children(node) {
        let s = '';
        for (const c of node.childNodes) {
            s += ser(c);
        }
        return s;
    }

    function ser(node) {
        if (node.nodeType === Node.TEXT_NODE) {
            const parent = node.parentNode ? node.parentNode.nodeName.toLowerCase() : '';
            if (parent === 'style') {
                return node.data.replace(/<\/(style)/gi, '<\\/$1');
            }
            return escText(node.data);
        }
        if (node.nodeType !== Node.ELEMENT_NODE) {
            return '';
        }
        const el = node;
        if (el.namespaceURI !== 'http://www.w3.org/1999/xhtml') {
            return foreign(el);
        }
        const tag = el.localName;
        if (tag === 'script' || tag === 'noscript' || tag === 'template') {
            return '';
        }
        if (tag === 'meta' && (el.hasAttribute('charset') ||
                               (el.getAttribute('http-equiv') || '').toLowerCase() === 'content-type')) {
            return '';
        }
        if (tag === 'link' && /(^|\s)(modulepreload|preload|prefetch)(\s|$)/i.test(el.getAttribute('rel') || '') &&
            /script/i.test(el.getAttribute('as') || 'script')) {
            return '';
        }
        const over = {};
        let inner = null;
        if (tag === 'img') {
            over.src = pictureSource(el);
            over.srcset = null;
            over.sizes = null;
            over.loading = null;
        } else if (tag === 'source' && el.parentNode && el.parentNode.localName === 'picture') {
            return '';
        } else if (tag === 'input') {
            const type = (el.type || '').toLowerCase();
            if (type === 'checkbox' || type === 'radio') {
                over.checked = el.checked;
            } else if (type !== 'file' && type !== 'password') {
                over.value = el.value;
            }
        } else if (tag === 'textarea') {
            inner = escText(el.value);
        } else if (tag === 'option') {
            over.selected = el.selected;
        } else if (tag === 'iframe' || tag === 'frame') {
            let doc = null;
            try {
                doc = el.contentDocument;
            } catch (e) {
                doc = null;
            }
            if (doc && doc.body) {
                return '<div class="trawlix-frame">' + children(doc.body) + '</div>';
            }
            notes.push('frame from another site left as it is: ' + (el.src || ''));
        } else if (tag === 'slot') {
            const assigned = el.assignedNodes({flatten: true});
            if (assigned.length) {
                let s = '';
                for (const n of assigned) {
                    s += ser(n);
                }
                return s;
            }
        }
        if (VOID.has(tag)) {
            return '<' + tag + attrs(el, over) + '>';
        }
        let body = inner !== null ? inner : children(el.shadowRoot || el);
        if (tag === 'head') {
            body = '<meta http-equiv="Content-Type" content="text/html; charset=utf-8">' + body;
        }
        return '<' + tag + attrs(el, over) + '>' + body + '</' + tag + '>';
    }

    const html = '<!DOCTYPE html>\n' + ser(document.documentElement);
    if (typeof trawlixMaxChars === 'number' && html.length > trawlixMaxChars) {
        return {html: '', notes: notes, tooLarge: true};
    }
    return {html: html, notes: notes};
})()
