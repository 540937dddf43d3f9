#include "app/zorvex5app.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    CZorvex5App app(QApplication::arguments());
    if (!app.InitInstance())
        return app.exitCode();
    return app.ExitInstance(QApplication::exec());
}
