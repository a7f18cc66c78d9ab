// The yardstick for startup_quit.sh: the least a Qt program with a window does, a maximised main window
// with a menu bar whose 文件 menu holds 退出(X), started and quit the same way as the desktop program.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("文件(&F)"));
    window.menuBar()->addMenu(QStringLiteral("操作(&E)"));
    window.menuBar()->addMenu(QStringLiteral("查看(&V)"));
    QAction* quit = file->addAction(QStringLiteral("退出(&X)"));
    QObject::connect(quit, &QAction::triggered, &window, &QMainWindow::close);
    window.setCentralWidget(new QLabel(QStringLiteral("Trawlix")));
    window.showMaximized();
    return app.exec();
}
