#include "app/TrawlixApp.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>

#include "app/FrameLayout.h"
#include "app/MainFrame.h"
#include "app/QtTranslations.h"
#include "common/AppInfo.h"
#include "ui/Icons.h"

namespace
{
const QByteArray kActivateRequest = QByteArrayLiteral("activate\n");
const QString kBarProfile = QStringLiteral("Bars");

QString userName()
{
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
    return QString::number(geteuid());
}
} // namespace

CTrawlixApp::CTrawlixApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setOrganizationName(appinfo::organization());
    setApplicationName(appinfo::application());
    setWindowIcon(appIcon());
    InstallQtTranslations(*this);
}

CTrawlixApp::~CTrawlixApp()
{
    // A window that was closed saved its layout then; one still open (the session ended) saves it now.
    if (m_pFrame && m_pFrame->isVisible()) {
        SaveFrameLayout(*m_pFrame, kBarProfile);
        m_pFrame->SaveBarSizes(kBarProfile);
    }
    m_pFrame.reset();
}

QString CTrawlixApp::OpenFileFromArguments(const QStringList& arguments)
{
    if (arguments.size() < 2) {
        return {};
    }
    QString strFile = arguments.at(1).trimmed();
    if (strFile.size() >= 2 && strFile.startsWith(QLatin1Char('"')) && strFile.endsWith(QLatin1Char('"'))) {
        strFile = strFile.mid(1, strFile.size() - 2).trimmed();
    }
    return strFile;
}

QString CTrawlixApp::InstanceServerName()
{
    QString strFolder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (strFolder.isEmpty() || !QDir(strFolder).exists()) {
        strFolder = QDir::tempPath();
    }
    return QDir(strFolder).filePath(appinfo::application() + QLatin1Char('-') + userName());
}

bool CTrawlixApp::activateRunningInstance(const QString& strName)
{
    QLocalSocket socket;
    socket.connectToServer(strName);
    if (!socket.waitForConnected(2000)) {
        return false;
    }
    socket.write(kActivateRequest);
    socket.waitForBytesWritten(2000);
    socket.disconnectFromServer();
    return true;
}

bool CTrawlixApp::listen(const QString& strName)
{
    m_pServer = std::make_unique<QLocalServer>();
    m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_pServer.get(), &QLocalServer::newConnection, this, &CTrawlixApp::onNewConnection);
    if (m_pServer->listen(strName)) {
        return true;
    }
    // A socket left behind by an instance that did not end cleanly: nobody answers on it.
    QLocalServer::removeServer(strName);
    return m_pServer->listen(strName);
}

void CTrawlixApp::onNewConnection()
{
    while (QLocalSocket* socket = m_pServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine() == kActivateRequest && m_pFrame) {
                    qInfo("trawlix: brought to the front by a second start");
                    m_pFrame->Activate();
                    emit activationRequested();
                }
            }
        });
    }
}

bool CTrawlixApp::InitInstance()
{
    const QString strName = InstanceServerName();
    {
        // Deciding who runs is done under a lock, so two starts at once cannot both become the first.
        QLockFile lock(strName + QStringLiteral(".lock"));
        lock.setStaleLockTime(0);
        if (!lock.tryLock(5000)) {
            m_nExitCode = 1;
            return false;
        }
        if (activateRunningInstance(strName)) {
            m_nExitCode = 0;
            return false;
        }
        if (!listen(strName)) {
            qWarning("trawlix: cannot listen on %s", qUtf8Printable(strName));
        }
    }

    m_strOpenFile = OpenFileFromArguments(arguments());
    m_pFrame = std::make_unique<CMainFrame>();
    m_pFrame->LoadBarSizes(kBarProfile);
    m_pFrame->SetLayoutProfile(kBarProfile);
    if (RestoreFrameLayout(*m_pFrame, kBarProfile)) {
        m_pFrame->show();
    } else {
        // Without a window manager there is nobody to maximise the window: give it the screen ourselves.
        if (const QScreen* screen = primaryScreen()) {
            m_pFrame->setGeometry(screen->availableGeometry());
        }
        m_pFrame->showMaximized();
    }
    if (!m_strOpenFile.isEmpty()) {
        m_pFrame->OpenProjectFile(m_strOpenFile);
    }
    // The web engine starts once the window has been drawn, so the window shows at once and the first
    // page does not wait for the engine either.
    m_pFrame->menuBar()->installEventFilter(this);
    return true;
}

bool CTrawlixApp::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && m_pFrame && watched == m_pFrame->menuBar()) {
        watched->removeEventFilter(this);
        QTimer::singleShot(0, this, [this] {
            if (m_pFrame) {
                m_pFrame->WarmUpBrowser();
            }
        });
    }
    return QApplication::eventFilter(watched, event);
}
