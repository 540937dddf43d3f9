#include "mypropertysheet1.h"

#include "keys/mypropertypages.h"
#include "keys/propertyframe1.h"

CMyPropertySheet1::CMyPropertySheet1(QWidget *parent) : QTabWidget(parent)
{
    setObjectName(QStringLiteral("keySheet"));
    setWindowTitle(QString::fromUtf8(kKeyManagementTitle));
    addTab(new CMyPropertyPage1(this), QStringLiteral("RSA Keys"));
    addTab(new CMyPropertyPage2(this), QStringLiteral("Add/Extract"));
    addTab(new CMyPropertyPage3(this), QStringLiteral("Signing"));
    addTab(new CMyPropertyPage4(this), QStringLiteral("View"));
    addTab(new CMyPropertyPage5(this), QStringLiteral("Edit Keys"));
    addTab(new CMyPropertyPage6(this), QStringLiteral("Remove"));
    setCurrentIndex(0);
    // Every tab stays in sight, as on a property sheet: without scroll buttons the sheet's
    // minimum width takes in the whole tab row, so the window sizes itself to it.
    setUsesScrollButtons(false);
}
