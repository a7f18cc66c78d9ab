#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include <QObject>
#include <QString>
#include <QStringList>

#include "common/CommandContext.h"
#include "update/ProjectUpdate.h"

class CDownloadReceiver;
class CTrawlixDoc;

// 更新工程: brings the selected project up to date on a thread of its own (the work is the core's
// UpdateProject), with the log in the message window, the report's lines at its end and in a report
// dialog, and the new pages added to the project in order. One update runs at a time.
class CUpdateCommands final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CUpdateCommands)

public:
    CUpdateCommands(CCommandContext context, CTrawlixDoc& doc, QObject* parent = nullptr);
    // Cancels a running update and waits for it.
    ~CUpdateCommands() override;

    // Updates the selected project (or the project of the selected page).
    void UpdateProject();
    bool IsUpdating() const { return m_thread.joinable(); }
    // Whether the command can run now: a project is selected and no update runs.
    bool CanUpdate() const;

signals:
    void logLine(const QString& strLine);
    // The update ended and its pages are in the tree.
    void updateFinished(const QStringList& reportLines);

private:
    void finished(std::uintptr_t key, const UpdateResult& result);
    void end();

    CCommandContext m_context;
    CTrawlixDoc& m_doc;
    std::unique_ptr<CDownloadReceiver> m_pReceiver;
    std::atomic<bool> m_bCancel{false};
    std::thread m_thread;
};
