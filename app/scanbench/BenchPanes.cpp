#include "BenchPanes.h"

#include "ConsolePanel.h"
#include "ReadRatePanel.h"
#include "ScanTable.h"
#include "ScanTableView.h"

#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

BenchPanes::BenchPanes(ScanTableView *view, ReadRatePanel *readRate, ConsolePanel *console, QWidget *parent)
    : QSplitter(Qt::Vertical, parent), m_view(view), m_readRate(readRate), m_console(console)
{
    setObjectName(QStringLiteral("panes"));
    setChildrenCollapsible(false);
    auto *tools = new QWidget;
    auto *layout = new QVBoxLayout(tools);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(readRate);
    layout->addWidget(console);
    layout->addStretch();
    m_tools = new QScrollArea(this);
    m_tools->setObjectName(QStringLiteral("tools"));
    m_tools->setAccessibleName(QStringLiteral("Test de lecture et console"));
    m_tools->setFrameShape(QFrame::NoFrame);
    m_tools->setWidgetResizable(true);
    m_tools->setWidget(tools);
    addWidget(view);
    addWidget(m_tools);
    setStretchFactor(0, 1);
    setStretchFactor(1, 0);

    m_showTest = toggle("showTest", QStringLiteral("Test de lecture"), QStringLiteral("Montrer le test de lecture"));
    m_showConsole = toggle("showConsole", QStringLiteral("Console"), QStringLiteral("Montrer la console"));
    m_showHex = toggle("showHex", QStringLiteral("Hexa"), QStringLiteral("Montrer la colonne hexadécimale"));
    connect(this, &QSplitter::splitterMoved, this, [this] {
        if (m_tools->isVisible())
            m_toolsHeight = sizes().value(1);
    });
    applyToggles();
}

QToolButton *BenchPanes::toggle(const char *name, const QString &text, const QString &accessible)
{
    auto *b = new QToolButton(parentWidget());
    b->setObjectName(QLatin1String(name));
    b->setText(text);
    b->setCheckable(true);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setArrowType(Qt::RightArrow);
    b->setAccessibleName(accessible);
    b->setToolTip(accessible);
    connect(b, &QToolButton::toggled, this, [this, b](bool on) {
        b->setArrowType(on ? Qt::DownArrow : Qt::RightArrow);
        applyToggles();
    });
    return b;
}

QList<QToolButton *> BenchPanes::toggles() const
{
    return {m_showTest, m_showConsole, m_showHex};
}

void BenchPanes::showReadRate()
{
    m_showTest->setChecked(true);
}

void BenchPanes::applyToggles()
{
    m_readRate->setVisible(m_showTest->isChecked());
    m_console->setVisible(m_showConsole->isChecked());
    m_view->setColumnHidden(ScanTable::Hex, !m_showHex->isChecked());
    const bool open = m_showTest->isChecked() || m_showConsole->isChecked();
    if (open == m_tools->isVisibleTo(this))
        return;
    if (!open)
        m_toolsHeight = sizes().value(1, m_toolsHeight);
    m_tools->setVisible(open);
    if (open) {
        // Before the first layout the splitter has no sizes yet: its height
        // then, and the table takes what the window adds.
        const int all = qMax(height(), sizes().value(0) + sizes().value(1));
        // Until the operator sets it, the pane is as high as its panels ask.
        const int wanted = m_toolsHeight > 0 ? m_toolsHeight : m_tools->widget()->sizeHint().height();
        const int tools = qBound(40, wanted, qMax(40, all - 120));
        setSizes({all - tools, tools});
    }
}

QString BenchPanes::openText() const
{
    QStringList open;
    if (m_showTest->isChecked())
        open << QStringLiteral("test");
    if (m_showConsole->isChecked())
        open << QStringLiteral("console");
    if (m_showHex->isChecked())
        open << QStringLiteral("hexa");
    return open.join(u' ');
}

void BenchPanes::setOpenText(const QString &text)
{
    const QStringList open = text.split(u' ', Qt::SkipEmptyParts);
    m_showTest->setChecked(open.contains(QStringLiteral("test")));
    m_showConsole->setChecked(open.contains(QStringLiteral("console")));
    m_showHex->setChecked(open.contains(QStringLiteral("hexa")));
}

QString BenchPanes::heightText() const
{
    const int tools = m_tools->isVisible() ? sizes().value(1) : m_toolsHeight;
    return tools > 0 ? QString::number(tools) : QString();
}

void BenchPanes::setHeightText(const QString &text)
{
    bool ok = false;
    const int tools = text.toInt(&ok);
    if (!ok || tools < 40 || tools > 5000)
        return;
    m_toolsHeight = tools;
    if (m_tools->isVisibleTo(this)) {
        const int all = qMax(height(), sizes().value(0) + sizes().value(1));
        setSizes({qMax(120, all - tools), tools});
    }
}
