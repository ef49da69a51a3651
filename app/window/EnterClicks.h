#pragma once

#include <QObject>

class QAbstractButton;

// Enter and the keypad's Enter click the focused button, as on the
// operators' former system. There is still no default button: Enter on any
// other control does nothing, and so does Escape.
class EnterClicks : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    void watch(QAbstractButton *button);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
