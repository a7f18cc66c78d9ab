#pragma once

#include <QString>

// What a run of the new-project wizard starts from: the frame's recorded start and end addresses, the
// text of its address box, and the user's documents folder.
struct CWizardDefaults
{
    QString strStartUrl;
    QString strEndUrl;
    QString strAddress;
    QString strDocumentsFolder;
};
