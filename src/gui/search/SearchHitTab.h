#pragma once

#include <QString>

class CMyWB;
class CTrawlixView;

// Opens a page a search found in a new tab of the view and, once it has loaded, highlights strFind in it
// with the browser's own find. Returns the tab's browser.
CMyWB* OpenSearchHit(CTrawlixView& view, const QString& strFile, const QString& strFind);
