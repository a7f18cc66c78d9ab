#pragma once

#include <string>

#include <QString>

// The one place where core text (UTF-8 std::string) and Qt text meet.
inline QString toQ(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string fromQ(const QString& text)
{
    return text.toUtf8().toStdString();
}
