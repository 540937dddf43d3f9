#pragma once

#include <QDialog>
#include <QFile>
#include <QStringList>

class QCheckBox;
class QLabel;
class QPushButton;

inline constexpr auto kTipsMissingText = "Tips file does not exist in the prescribed directory";
inline constexpr auto kTipsTroubleText = "Trouble reading the tips file";

// One hint from "tips.txt" per start. Constructing the dialog already reads the next tip and
// destroying it stores the position, so the tips move on even when the dialog is never shown.
// [Tip] StartUp, FilePos and TimeStamp live in the application profile.
class CDailyTipDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CDailyTipDlg(QWidget *parent = nullptr);
    ~CDailyTipDlg() override;

    // True when the dialog wants to be shown at start-up (StartUp is 0).
    bool startUpFlag() const { return m_startUp; }
    // The current tip as read, line end included.
    QString tipText() const { return m_tip; }

    void ReadNextTip();

public slots:
    // "&Close": the only way out that stores the check box.
    void accept() override;

private:
    void refreshControls();
    void stopReading(const QString &text);

    bool m_startUp = true;
    QString m_tip;
    QFile m_file;

    QLabel *m_tipLabel = nullptr;
    QCheckBox *m_startUpCheck = nullptr;
    QPushButton *m_nextButton = nullptr;
};

// Start-up: reads one tip (moving FilePos on) and shows the dialog unless the user turned it
// off, or the program was started as a server ("/Embedding", "/Automation").
void ShowStartUpTip(QWidget *parent, const QStringList &arguments);
void ShowStartUpTip(QWidget *parent);
// The Help menu's "Ti&p of the Day...": shown whatever StartUp says.
void ShowTipOfTheDay(QWidget *parent);
