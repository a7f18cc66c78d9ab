#pragma once

#include <QString>

#include "ui/SizingControlBarCF.h"

class CMessageEdit;

// The message window: a docking bar holding the download log.
class CMessageBar final : public CSizingControlBarCF
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CMessageBar)

public:
    explicit CMessageBar(QWidget* parent = nullptr);
    ~CMessageBar() override;

    CMessageEdit* Edit() const { return m_wndEdit; }

    // Appends one black line.
    void AppendLine(const QString& strLine);
    // Empties the log and writes the banner of a new download.
    void ResetLog();

    static QString StartBanner();

private:
    CMessageEdit* m_wndEdit;
};
