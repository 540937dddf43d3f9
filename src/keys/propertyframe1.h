#pragma once

#include <QWidget>

class CMyPropertySheet1;

inline constexpr auto kKeyManagementTitle = "Zorvex\u00ae 5.0 - Key Management Subsystem";

// The modeless key management window: a tool window owned by the main window that holds
// the sheet. Closing it only hides it, so the pages keep their text, choices and current
// tab until the next Key Management command shows it again.
class CPropertyFrame1 : public QWidget
{
    Q_OBJECT

public:
    explicit CPropertyFrame1(QWidget *owner);

    // The Key Management command of an editor view: creates the view's window on first use,
    // centred over the owner, and otherwise shows the existing one again. Keep the result in
    // the view (m_pKeyFrame = CPropertyFrame1::Open(m_pKeyFrame, mainWindow)); a QPointer
    // there follows the window if the main window takes it down first.
    static CPropertyFrame1 *Open(CPropertyFrame1 *existing, QWidget *owner);

    CMyPropertySheet1 *sheet() const { return m_pKeySheet; }

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    CMyPropertySheet1 *m_pKeySheet;
};
