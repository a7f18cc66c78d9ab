#pragma once

#include <QStringList>

class QCoreApplication;

// Qt's own texts (the buttons of message boxes, file, print and font dialogs) in Simplified Chinese,
// loaded whatever the locale, since everything else the program says is Chinese. Returns the catalogs
// that were loaded; a missing one leaves those texts in English.
QStringList InstallQtTranslations(QCoreApplication& app);
