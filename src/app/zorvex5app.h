#pragma once

#include <QStringList>

class QMainWindow;

// The application object: command line, main frame, first document, settings, key list.
class CZorvex5App
{
public:
    explicit CZorvex5App(const QStringList &arguments);
    ~CZorvex5App();

    // Runs the start-up steps. Returns false when the program must end at once (with the
    // exit code in exitCode()).
    bool InitInstance();
    int exitCode() const { return m_exitCode; }
    QMainWindow *mainWindow() const { return m_mainWindow; }

private:
    QStringList m_arguments;
    QMainWindow *m_mainWindow = nullptr;
    int m_exitCode = 0;
};
