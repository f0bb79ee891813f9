#pragma once

#include <QApplication>
#include <QStringList>

class QSplashScreen;
class Window;

// The application object: style sheet, main window and splash screen.
class App : public QApplication
{
    Q_OBJECT
public:
    App(int &argc, char **argv);
    ~App() override;

    Window *window = nullptr;

    // Opens the model and scene files named on the command line (how the desktop hands
    // an associated file to the program).
    void openFiles(const QStringList &paths);

protected:
    bool event(QEvent *event) override;
    bool notify(QObject *receiver, QEvent *event) override;

private:
    QSplashScreen *m_splash = nullptr;
};
