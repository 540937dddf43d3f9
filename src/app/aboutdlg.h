#pragma once

#include <QDialog>

// The About box: pictures, the version line and the credits, and an OK button.
class CAboutDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget *parent = nullptr);
};
