#pragma once

#include "Twips.h"

#include <QFont>
#include <QString>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The window's controls, made where the bench layout drew them (in twips,
// Twips), named as the handlers and the tests know them. Buttons are never
// default buttons: Enter clicks the focused one (EnterClicks). Frames are
// drawn by QFrame itself, in whole pixels: the style's own frame loses edges
// at 1.25 and 1.5 times the size.
class FormLayout
{
public:
    explicit FormLayout(QWidget *window);

    QRect rect(int left, int top, int width, int height) const { return m_twips.rect(left, top, width, height); }
    int px(int twips) const { return m_twips.px(twips); }

    QPushButton *button(const char *name, const QString &caption, QRect at) const;
    QLineEdit *line(const char *name, const QString &text, QRect at) const;
    QLabel *label(const char *name, const QString &caption, QRect at) const;
    // Places a control made elsewhere and names it.
    void place(QWidget *control, const char *name, QRect at) const;
    static void sunken(QFrame *frame);
    // The font the layout was drawn for, whatever the desktop's: a
    // sans-serif of 8 points (Helvetica's widths), so that every caption and
    // all eight list items fit.
    static QFont drawnFont();

private:
    QWidget *m_window;
    Twips m_twips;
};
