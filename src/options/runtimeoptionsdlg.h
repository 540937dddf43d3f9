#pragma once

#include <QDialog>

class QCheckBox;

// The ten option flags as check boxes. A click changes RuntimeOptions at once, so Cancel
// keeps it; OK only decides whether the flags also become the stored defaults.
class CRuntimeOptionsDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CRuntimeOptionsDlg(QWidget *parent = nullptr);

private:
    QCheckBox *addBox(const char *name, const QString &label, int *flag);
    void OnOK();
};
