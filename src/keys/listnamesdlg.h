#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QListWidget;

// The name picker: every click on a cached key name appends that key's ID ("0x" and the
// key ID with a blank) to the field; OK hands the field back through State().RecipientNames.
class CListNamesDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CListNamesDlg(QWidget *parent = nullptr);

    // Runs the picker modally and returns what it left in State().RecipientNames.
    static QString PickNames(QWidget *parent = nullptr);

    void accept() override;

private:
    void appendKeyId(const QString &entry);

    QLineEdit *m_namesEdit;
    QListWidget *m_namesList;
    QString m_selected;
    QString m_picked;
};
