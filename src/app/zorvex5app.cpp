#include "zorvex5app.h"

#include "platform/messagebox.h"

#include <QMainWindow>

CZorvex5App::CZorvex5App(const QStringList &arguments) : m_arguments(arguments) {}

CZorvex5App::~CZorvex5App()
{
    delete m_mainWindow;
}

bool CZorvex5App::InitInstance()
{
    m_mainWindow = new QMainWindow;
    m_mainWindow->setWindowTitle(QString::fromUtf8(kProgramTitle));
    m_mainWindow->resize(800, 600);
    m_mainWindow->show();
    return true;
}
