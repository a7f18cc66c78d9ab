#pragma once

#include <functional>
#include <thread>

#include <QDialog>
#include <QString>
#include <QStringDecoder>
#include <QTimer>

#include "chm/ChmBuildParams.h"
#include "chm/ChmBuildWorker.h"
#include "common/UserPrompts.h"

class CDialogAnimation;
class QPlainTextEdit;
class QPushButton;

// The build dialog "生成CHM文件": half a second after it opens, a thread of its own copies the pages,
// writes the help project and runs the compiler; the progress lines and everything the compiler
// prints arrive in the output box as they come, and the dialog then says whether the book was made.
// "显示CHM文件" opens the book once it exists.
//
// The dialog never closes while its thread runs: closing it then asks, and the dialog goes away once
// the compiler has ended, so the caller may delete the working folder as soon as it returns.
class CChmBuildDlg final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CChmBuildDlg)

public:
    static constexpr int kOutputId = 1001;
    static constexpr int kShowId = 1008;
    // The build starts this long after the dialog opened.
    static constexpr int kStartDelayMs = 500;

    // showBook opens a built book (the path of the .chm file).
    CChmBuildDlg(CUserPrompts& prompts, std::function<void(const QString&)> showBook, QWidget* pParent = nullptr);
    ~CChmBuildDlg() override;

    // The build: set by the command before the dialog runs, read only afterwards. m_strChmFile is the
    // full path of the book, ".chm" included.
    ChmBuildParams m_params;

    bool IsBuilding() const { return m_bBuilding; }
    bool HasEnded() const { return m_bEnded; }
    const ChmBuildResult& Result() const { return m_result; }
    QPlainTextEdit* OutputEdit() const { return m_pOutput; }
    QPushButton* ShowButton() const { return m_pShow; }

    // The line the dialog adds when the build has ended.
    static QString ResultText(const ChmBuildResult& result, const QString& strChmFile);

signals:
    // The build's thread has ended and its result is in.
    void buildEnded();

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* pEvent) override;

private:
    void startBuild();
    void appendOutput(const QByteArray& chunk);
    void appendText(const QString& strText);
    void onBuildEnded(const ChmBuildResult& result);
    void onShow();
    void closeAnimated(int nResult);

    CUserPrompts& m_prompts;
    std::function<void(const QString&)> m_showBook;
    QPlainTextEdit* m_pOutput;
    QPushButton* m_pShow;
    CDialogAnimation* m_pAnimation;
    QTimer m_startTimer;
    std::thread m_thread;
    // The compiler's output comes in chunks that may end inside a character.
    QStringDecoder m_decoder{QStringDecoder::Utf8};
    ChmBuildResult m_result;
    bool m_bStarted = false;
    bool m_bBuilding = false;
    bool m_bEnded = false;
    bool m_bCloseWhenEnded = false;
    bool m_bOpened = false;
};
