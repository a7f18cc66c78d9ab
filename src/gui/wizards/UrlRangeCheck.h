#pragma once

#include <QString>

// Whether a first and a last address give at least one page to download: one address alone is one
// page, two make a numbered series. Both dialogs that take addresses refuse a pair that gives none.
bool ExpandsToPages(const QString& strFirst, const QString& strLast);
