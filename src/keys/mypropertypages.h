#pragma once

#include <QWidget>

class QAbstractButton;
class QBoxLayout;
class QFormLayout;
class QGroupBox;
class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The six pages of the key management sheet. Each page keeps its own fields and its own
// choice; OK (Generate on the first page) composes one key command and runs it, and the
// page stays as it was afterwards, so the next command can follow at once.

// What every page shares: OK/Cancel/Help, Cancel hiding the whole window, and the check
// that a page with a pair of radio buttons has one of them chosen.
class CKeyManagementPage : public QWidget
{
    Q_OBJECT

public:
    // The help topic of the page: 0x20000 plus the page's resource number.
    quint32 helpContext() const { return m_helpContext; }

protected:
    CKeyManagementPage(const QString &objectName, quint32 helpContext, QWidget *parent);

    // Adds the button row at the foot of the page's layout; returns the first (default) button.
    QPushButton *addButtons(QBoxLayout *pageLayout, const QString &okText);
    QLineEdit *addField(const QString &objectName, int maxLength);
    QRadioButton *makeRadio(const QString &text, const QString &objectName);
    // The titled box that holds a page's pair of radio buttons.
    QGroupBox *choiceBox(const QString &title, QRadioButton *first, QRadioButton *second,
                         Qt::Orientation orientation = Qt::Horizontal);
    // A labelled field row whose label is the field's buddy, so its mnemonic reaches it.
    void addFieldRow(QFormLayout *form, const QString &label, QLineEdit *edit);
    // An exclusive pair that starts with neither button checked.
    QButtonGroup *makeChoice(QRadioButton *first, QRadioButton *second);
    // False (after telling the user) when neither radio button is checked.
    bool choiceMade(const QButtonGroup *choice);
    virtual void onOk() = 0;

private:
    quint32 m_helpContext;
};

// "RSA Keys"
class CMyPropertyPage1 : public CKeyManagementPage
{
    Q_OBJECT

public:
    explicit CMyPropertyPage1(QWidget *parent = nullptr);

protected:
    void onOk() override;
};

// "Add/Extract"
class CMyPropertyPage2 : public CKeyManagementPage
{
    Q_OBJECT

public:
    explicit CMyPropertyPage2(QWidget *parent = nullptr);

protected:
    void onOk() override;

private:
    void chooseAdd();
    void chooseExtract();
    void browse();
    void listNames();

    QRadioButton *m_addRadio;
    QRadioButton *m_extractRadio;
    QButtonGroup *m_choice;
    QLineEdit *m_keyFileEdit;
    QLineEdit *m_nameEdit;
    QLineEdit *m_outputFileEdit;
    QLineEdit *m_keyringEdit;
};

// "Signing"
class CMyPropertyPage3 : public CKeyManagementPage
{
    Q_OBJECT

public:
    explicit CMyPropertyPage3(QWidget *parent = nullptr);

protected:
    void onOk() override;

private:
    QRadioButton *m_signRadio;
    QRadioButton *m_removeSigsRadio;
    QButtonGroup *m_choice;
    QLineEdit *m_userIdEdit;
    QLineEdit *m_keyringEdit;
    QLineEdit *m_ownUserIdEdit;
};

// "View"
class CMyPropertyPage4 : public CKeyManagementPage
{
    Q_OBJECT

public:
    explicit CMyPropertyPage4(QWidget *parent = nullptr);

protected:
    void onOk() override;

private:
    QRadioButton *m_fingerprintsRadio;
    QRadioButton *m_contentsRadio;
    QButtonGroup *m_choice;
    QLineEdit *m_userIdEdit;
    QLineEdit *m_keyringEdit;
};

// "Edit Keys"
class CMyPropertyPage5 : public CKeyManagementPage
{
    Q_OBJECT

public:
    explicit CMyPropertyPage5(QWidget *parent = nullptr);

protected:
    void onOk() override;

private:
    QLineEdit *m_userIdEdit;
    QLineEdit *m_keyringEdit;
};

// "Remove"
class CMyPropertyPage6 : public CKeyManagementPage
{
    Q_OBJECT

public:
    explicit CMyPropertyPage6(QWidget *parent = nullptr);

protected:
    void onOk() override;

private:
    QRadioButton *m_removeKeyRadio;
    QRadioButton *m_deleteOwnRadio;
    QButtonGroup *m_choice;
    QLineEdit *m_userIdEdit;
    QLineEdit *m_keyringEdit;
};
