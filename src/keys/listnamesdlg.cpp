#include "listnamesdlg.h"

#include "core/keynamelist.h"
#include "core/settings.h"
#include "widgets/keynamelistbox.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CListNamesDlg::CListNamesDlg(QWidget *parent)
    : QDialog(parent), m_namesEdit(new QLineEdit(this)), m_namesList(new QListWidget(this))
{
    setWindowTitle(QStringLiteral("Zorvex\u00ae 5.0 List Names"));
    setObjectName(QStringLiteral("listNamesDlg"));

    auto *heading = new QLabel(QStringLiteral("Select Names"), this);
    heading->setAlignment(Qt::AlignCenter);
    // The heading names the field for screen readers.
    heading->setBuddy(m_namesEdit);
    m_namesList->setAccessibleName(QStringLiteral("Names"));
    m_namesEdit->setObjectName(QStringLiteral("namesEdit"));
    m_namesList->setObjectName(QStringLiteral("namesList"));
    m_namesList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_namesList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    QPushButton *cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CListNamesDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CListNamesDlg::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_namesEdit);
    auto *namesLabel = new QLabel(QStringLiteral("&Names:"), this);
    namesLabel->setBuddy(m_namesList);
    layout->addWidget(namesLabel);
    layout->addWidget(m_namesList);
    layout->addWidget(buttons);

    FillKeyNameList(m_namesList);
    // Whatever an earlier picker or dialog left there must not come back on Cancel.
    State().RecipientNames.clear();
    // Clicking the same name twice picks it twice.
    ConnectKeyNamePicks(m_namesList, [this](const QString &entry) { appendKeyId(entry); });
}

void CListNamesDlg::appendKeyId(const QString &entry)
{
    m_selected = entry;
    const qsizetype slash = m_selected.indexOf(QLatin1Char('/'));
    // A five-digit key size puts the key ID out of reach: the field is left as it is.
    if (slash > 4)
        return;
    m_picked += KeyIdSelectionText(m_selected);
    m_namesEdit->setText(m_picked);
}

void CListNamesDlg::accept()
{
    State().RecipientNames = m_namesEdit->text();
    QDialog::accept();
}

QString CListNamesDlg::PickNames(QWidget *parent)
{
    CListNamesDlg dlg(parent);
    dlg.exec();
    return State().RecipientNames;
}
