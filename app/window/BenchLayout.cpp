#include "BenchLayout.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

BenchLayout::BenchLayout(QWidget *window) : m_window(window), m_twips(window->logicalDpiY()) {}

QPushButton *BenchLayout::button(const char *name, const QString &caption, QRect at) const
{
    auto *b = new QPushButton(caption, m_window);
    place(b, name, at);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QLineEdit *BenchLayout::line(const char *name, const QString &text, QRect at) const
{
    auto *e = new QLineEdit(text, m_window);
    place(e, name, at);
    return e;
}

QLabel *BenchLayout::label(const char *name, const QString &caption, QRect at) const
{
    auto *l = new QLabel(caption, m_window);
    place(l, name, at);
    l->setFocusPolicy(Qt::NoFocus);
    return l;
}

void BenchLayout::place(QWidget *control, const char *name, QRect at) const
{
    control->setObjectName(QLatin1String(name));
    control->setGeometry(at);
}

void BenchLayout::sunken(QFrame *frame)
{
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(1);
}

QFont BenchLayout::drawnFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("FreeSans"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    return font;
}
