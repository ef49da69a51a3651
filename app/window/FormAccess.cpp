#include "FormAccess.h"

#include "EnterClicks.h"
#include "PlainToolTips.h"
#include "ReceptionBox.h"
#include "StatusLineLabel.h"
#include "frmVantrel.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <iterator>

void FormAccess::apply(frmVantrel &form)
{
    auto *plainTips = new PlainToolTips(&form);
    plainTips->watchItems(form.List1);
    plainTips->watch(form.StatusLine);

    QWidget *order[] = {form.List1, form.Command1, form.Command2, form.Command3, form.Command4,
                        form.Text1, form.Text2, form.Command5, form.Text3};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);

    form.List1->setAccessibleName(QStringLiteral("Port COM"));
    form.Text1->setAccessibleName(QStringLiteral("Réception"));
    form.Text2->setAccessibleName(QStringLiteral("Texte libre"));
    form.Text3->setAccessibleName(QStringLiteral("Longueur a lire"));
    form.Label1->setBuddy(form.Text1);
    form.Label2->setBuddy(form.Text3);
    auto *enter = new EnterClicks(&form);
    for (QPushButton *b : {form.Command1, form.Command2, form.Command3, form.Command4, form.Command5})
        enter->watch(b);
}
