#pragma once

#include <QString>

// Names under which the program keeps its settings.
namespace appinfo
{
inline QString organization()
{
    return QStringLiteral("Local AppWizard-Generated Applications");
}
inline QString application()
{
    return QStringLiteral("Trawlix");
}
} // namespace appinfo
