#pragma once

#include <memory>

#include <QApplication>
#include <QString>
#include <QStringList>

class CMainFrame;
class QLocalServer;

// The application: one instance per user and desktop, the main frame, and the project file named on
// the command line.
class CTrawlixApp final : public QApplication
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTrawlixApp)

public:
    CTrawlixApp(int& argc, char** argv);
    ~CTrawlixApp() override;

    // Start-up. False when the process should end now with ExitCode(): another instance runs (it has
    // been asked to come to the front) or the program could not start.
    bool InitInstance();
    int ExitCode() const { return m_nExitCode; }

    CMainFrame* MainFrame() const { return m_pFrame.get(); }

    // The project file of a command line: the first argument, surrounding double quotes removed.
    static QString OpenFileFromArguments(const QStringList& arguments);
    // Where the running instance listens: named after the program and the user.
    static QString InstanceServerName();

    QString m_strOpenFile;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

signals:
    // A second start of the program asked this one to come to the front.
    void activationRequested();

private:
    // True when another instance answered and was asked to come to the front.
    static bool activateRunningInstance(const QString& strName);
    bool listen(const QString& strName);
    void onNewConnection();

    std::unique_ptr<QLocalServer> m_pServer;
    std::unique_ptr<CMainFrame> m_pFrame;
    int m_nExitCode = 0;
};
