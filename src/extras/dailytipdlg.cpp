#include "dailytipdlg.h"

#include "extras/extrasresources.h"
#include "extras/splash.h"
#include "extras/tipfile.h"
#include "platform/messagebox.h"
#include "platform/privateprofile.h"
#include "platform/settingsdir.h"
#include "platform/windowplacement.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kSection = QStringLiteral("Tip");

QString profile()
{
    return QLatin1String(kApplicationProfile);
}

// The white panel: bulb at the top left, the heading beside it, the tip below.
class TipPanel : public QFrame
{
public:
    explicit TipPanel(QWidget *parent) : QFrame(parent)
    {
        setObjectName(QStringLiteral("tipPanel"));
        setFrameStyle(QFrame::Box | QFrame::Sunken);
        m_bulb.load(QStringLiteral(":/extras/bulb.png"));
        QFont headingFont = font();
        headingFont.setBold(true);
        headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
        m_headingFont = headingFont;
    }

    QSize bulbSize() const { return m_bulb.isNull() ? QSize(40, 53) : m_bulb.size(); }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        {
            QPainter p(this);
            p.fillRect(contentsRect(), Qt::white);
            const QPoint origin = contentsRect().topLeft();
            if (!m_bulb.isNull())
                p.drawPixmap(origin, m_bulb);
            p.setFont(m_headingFont);
            p.setPen(Qt::black);
            const QSize bulb = bulbSize();
            const QRect heading(origin.x() + bulb.width() + 8, origin.y(),
                                contentsRect().width() - bulb.width() - 8, bulb.height());
            p.drawText(heading, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                       QStringLiteral("Did you know..."));
        }
        QFrame::paintEvent(event);
    }

private:
    QPixmap m_bulb;
    QFont m_headingFont;
};

// The file keeps its line end; the label need not show it as an empty line.
QString displayText(const QString &tip)
{
    QString text = tip;
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}
} // namespace

CDailyTipDlg::CDailyTipDlg(QWidget *parent) : QDialog(parent)
{
    InitExtrasResources();
    setWindowTitle(QStringLiteral("Tip of the Day"));
    KeepCentredOver(this, parent);

    auto *panel = new TipPanel(this);
    m_tipLabel = new QLabel(QStringLiteral("Some String"), panel);
    m_tipLabel->setObjectName(QStringLiteral("tipText"));
    m_tipLabel->setWordWrap(true);
    m_tipLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_tipLabel->setTextFormat(Qt::PlainText);
    m_tipLabel->setAutoFillBackground(true);
    QPalette white = m_tipLabel->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    m_tipLabel->setPalette(white);
    m_tipLabel->setMinimumSize(320, 90);
    auto *panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(10, panel->bulbSize().height() + 10, 10, 10);
    panelLayout->addWidget(m_tipLabel);

    m_startUpCheck = new QCheckBox(tr("&Show Tips on StartUp"), this);
    m_startUpCheck->setObjectName(QStringLiteral("startUpCheck"));
    m_nextButton = new QPushButton(tr("&Next Tip"), this);
    m_nextButton->setObjectName(QStringLiteral("nextTipButton"));
    auto *closeButton = new QPushButton(tr("&Close"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setDefault(true);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_startUpCheck);
    bottom->addStretch();
    bottom->addWidget(m_nextButton);
    bottom->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addLayout(bottom);

    connect(m_nextButton, &QPushButton::clicked, this, [this] {
        ReadNextTip();
        refreshControls();
    });
    connect(closeButton, &QPushButton::clicked, this, &CDailyTipDlg::accept);

    m_startUp = GetPrivateProfileInt(kSection, QStringLiteral("StartUp"), 0, profile()) == 0;
    const int filePos = GetPrivateProfileInt(kSection, QStringLiteral("FilePos"), 0, profile());

    const QString path = LocateTipsFile();
    m_file.setFileName(path);
    if (path.isEmpty() || !m_file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        m_tip = QLatin1String(kTipsMissingText);
    } else {
        // A file that changed since the position was stored starts again at its first tip.
        const QString stamp = TipsFileTimeStamp(path);
        const QString stored = GetPrivateProfileString(kSection, QStringLiteral("TimeStamp"),
                                                       QString(), 64, profile());
        qint64 position = filePos;
        if (stamp != stored) {
            position = 0;
            WritePrivateProfileString(kSection, QStringLiteral("TimeStamp"), stamp, profile());
        }
        if (position < 0 || !m_file.seek(position)) {
            m_tip.clear();
            MessageBox::stop(parent, QLatin1String(kTipsTroubleText));
        } else {
            ReadNextTip();
        }
    }
    refreshControls();
}

CDailyTipDlg::~CDailyTipDlg()
{
    if (m_file.isOpen()) {
        WritePrivateProfileString(kSection, QStringLiteral("FilePos"),
                                  QString::number(m_file.pos()), profile());
        m_file.close();
    }
}

void CDailyTipDlg::ReadNextTip()
{
    if (!m_file.isOpen())
        return;
    QByteArray line;
    switch (ReadTipLine(m_file, &line)) {
    case TipRead::Tip:
        m_tip = QString::fromUtf8(line);
        break;
    case TipRead::NoTipLine:
        stopReading(QLatin1String(kTipsMissingText));
        break;
    case TipRead::CannotRewind:
        MessageBox::stop(isVisible() ? this : parentWidget(), QLatin1String(kTipsTroubleText));
        stopReading(QString());
        break;
    }
}

void CDailyTipDlg::stopReading(const QString &text)
{
    // Nothing more can come from this file: closing it keeps a position that leads nowhere
    // out of the profile and turns "&Next Tip" off instead of reading round for ever.
    m_tip = text;
    m_file.close();
}

void CDailyTipDlg::refreshControls()
{
    m_tipLabel->setText(displayText(m_tip));
    m_startUpCheck->setChecked(m_startUp);
    m_nextButton->setEnabled(m_file.isOpen());
}

void CDailyTipDlg::accept()
{
    m_startUp = m_startUpCheck->isChecked();
    QDialog::accept();
    WritePrivateProfileString(kSection, QStringLiteral("StartUp"),
                              QLatin1String(m_startUp ? "0" : "1"), profile());
}

void ShowStartUpTip(QWidget *parent, const QStringList &arguments)
{
    if (!SplashWantedFor(arguments))
        return;
    CDailyTipDlg dialog(parent);
    if (dialog.startUpFlag())
        dialog.exec();
}

void ShowStartUpTip(QWidget *parent)
{
    ShowStartUpTip(parent, QCoreApplication::arguments());
}

void ShowTipOfTheDay(QWidget *parent)
{
    CDailyTipDlg dialog(parent);
    dialog.exec();
}
