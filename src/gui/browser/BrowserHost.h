#pragma once

#include <QString>

// What the browser asks of the window that hosts it (the main frame). Every call arrives on the
// user-interface thread.
//
// Addresses travel as text: a page shown from disk is reported as its local path ("/home/u/x/a.htm"),
// any other page as its full address ("http://host/a.html", "about:blank").
class IBrowserHost
{
public:
    virtual ~IBrowserHost() = default;

    // Puts the text into the address box. A non-empty address also selects the project page saved
    // under that path; an empty text only empties the box (the last tab was closed).
    virtual void SetAddressText(const QString& strText) = 0;
    virtual QString GetAddressText() const = 0;

    // Shows the page-loading percentage on the status bar's page gauge (a negative value shows 0) and
    // remembers it as the frame's progress.
    virtual void SetProgress(int nPercent) = 0;
    // Writes the frame's remembered progress without touching the gauge: the frame's idle update shows
    // it (and resets it after 100). -10 means no percentage could be computed.
    virtual void SetProgressValue(int nPercent) = 0;

    // Text for the status bar's message pane, e.g. the address of a link under the mouse.
    virtual void SetStatusText(const QString& strText) { (void)strText; }

    // Adds an address with a title to the user's favorites; the frame rebuilds its favorites menu
    // afterwards.
    virtual void AddFavorite(const QString& strAddress, const QString& strTitle)
    {
        (void)strAddress;
        (void)strTitle;
    }
};
