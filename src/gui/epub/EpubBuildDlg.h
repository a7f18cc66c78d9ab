#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include <QDialog>
#include <QString>

#include "book/EpubBuilder.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// "生成EPUB文件": makes the book on a thread of its own while the window goes on, shows how far it
// has come and which pages were skipped, and ends with a button that opens the book in the desktop's
// reader. Closing while the book is being made stops the build; the dialog waits for its thread.
class CEpubBuildDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CEpubBuildDlg)

public:
    // openBook shows a made book (the desktop's default reader when empty).
    explicit CEpubBuildDlg(EpubBuildParams params,
                           std::function<void(const QString&)> openBook = {},
                           QWidget* pParent = nullptr);
    ~CEpubBuildDlg() override;

    // Starts the build (once); the dialog starts it itself when first shown.
    void Start();
    bool IsRunning() const { return m_thread.joinable() && !m_bDone; }
    const EpubBuildResult& Result() const { return m_result; }
    QPushButton* OpenButton() const { return m_pOpen; }
    QPushButton* CloseButton() const { return m_pClose; }

signals:
    void buildFinished(bool bSucceeded);

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void onProgress(int nDone, int nTotal, const QString& strTitle);
    void onWarning(const QString& strFile, const QString& strWhy);
    void onFinished(const EpubBuildResult& result);
    void stopAndWait();

    EpubBuildParams m_params;
    std::function<void(const QString&)> m_openBook;
    EpubBuildResult m_result;
    std::thread m_thread;
    std::atomic<bool> m_bCancel{false};
    bool m_bDone = false;
    QLabel* m_pStatus;
    QProgressBar* m_pProgress;
    QPlainTextEdit* m_pLog;
    QPushButton* m_pOpen;
    QPushButton* m_pClose;
};
