#include "FormLayout.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FormLayout::FormLayout(QWidget *window) : m_window(window), m_twips(window->logicalDpiY()) {}

QPushButton *FormLayout::button(const char *name, const QString &caption, QRect at) const
{
    auto *b = new QPushButton(caption, m_window);
    place(b, name, at);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QLineEdit *FormLayout::line(const char *name, const QString &text, QRect at) const
{
    auto *e = new QLineEdit(text, m_window);
    place(e, name, at);
    return e;
}

QLabel *FormLayout::label(const char *name, const QString &caption, QRect at) const
{
    auto *l = new QLabel(caption, m_window);
    place(l, name, at);
    l->setFocusPolicy(Qt::NoFocus);
    return l;
}

void FormLayout::place(QWidget *control, const char *name, QRect at) const
{
    control->setObjectName(QLatin1String(name));
    control->setGeometry(at);
}

void FormLayout::sunken(QFrame *frame)
{
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(1);
}

QFont FormLayout::drawnFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("FreeSans"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}
