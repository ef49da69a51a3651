#include "PortChooser.h"

#include "PortAssignments.h"
#include "PortTexts.h"
#include "SerialDevice.h"
#include "StatusText.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QInputDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>

namespace {

// An ampersand in a device's description is text, not a shortcut.
QString menuText(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

PortChooser::PortChooser(QListWidget *list, PortAssignments &ports, QObject *parent)
    : QObject(parent), m_list(list), m_ports(ports)
{
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        const QListWidgetItem *item = m_list->itemAt(pos);
        const int port = item ? portOfRow(m_list->row(item)) : currentPort();
        showMenu(port, m_list->viewport()->mapToGlobal(pos));
    });
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
}

int PortChooser::currentPort() const
{
    const int row = m_list->currentRow();
    return row < 0 ? 1 : portOfRow(row);
}

bool PortChooser::eventFilter(QObject *watched, QEvent *event)
{
    // From the keyboard the menu is for the current item, placed beside it.
    bool keyboard = false;
    if (event->type() == QEvent::KeyPress) {
        const auto *k = static_cast<QKeyEvent *>(event);
        keyboard = k->key() == Qt::Key_Menu
            || (k->key() == Qt::Key_F10 && k->modifiers() == Qt::ShiftModifier);
    } else if (event->type() == QEvent::ContextMenu) {
        keyboard = static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard;
    }
    if (!keyboard)
        return QObject::eventFilter(watched, event);
    if (!m_menu || !m_menu->isVisible()) {
        const int port = currentPort();
        const QListWidgetItem *item = m_list->item(port - 1);
        const QRect r = item ? m_list->visualItemRect(item) : QRect();
        showMenu(port, m_list->viewport()->mapToGlobal(r.isValid() ? r.bottomLeft() : QPoint()));
    }
    return true;
}

void PortChooser::updateToolTips()
{
    const QList<PortAssignments::Resolution> all = m_ports.resolveAll();
    for (int row = 0; row < m_list->count() && row < all.size(); ++row)
        m_list->item(row)->setToolTip(portToolTip(all.at(row)));
}

void PortChooser::showMenu(int port, const QPoint &globalPos)
{
    if (m_menu)
        m_menu->close();
    m_ports.refresh(); // what is plugged in now
    updateToolTips();
    const QString problem = settingsProblemText(m_ports.settingsStatus(), m_ports.settingsFile());
    if (!problem.isEmpty())
        emit message(problem);

    const PortAssignments::Resolution now = m_ports.resolve(port);
    const QString com = comName(port);

    auto *menu = new QMenu(m_list);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setObjectName(QStringLiteral("PortMenu"));
    QAction *title = menu->addAction(menuText(portToolTip(now).section(QLatin1Char('\n'), 0, 0)));
    title->setEnabled(false);
    menu->addSeparator();

    QMenu *assign = menu->addMenu(QStringLiteral("Associer ") + com + QStringLiteral(" à"));
    assign->setObjectName(QStringLiteral("AssignMenu"));
    if (m_ports.present().isEmpty()) {
        assign->addAction(QStringLiteral("Aucun port série détecté"))->setEnabled(false);
    }
    for (const SerialDevice &d : m_ports.present()) {
        const int on = m_ports.portOf(d);
        QString text = deviceLabel(d);
        if (on && on != port)
            text += QStringLiteral(" — déjà COM") + QString::number(on);
        QAction *a = assign->addAction(menuText(text));
        a->setCheckable(true);
        a->setChecked(on == port);
        const QString path = d.stableName();
        connect(a, &QAction::triggered, this, [this, port, path] { choose(port, path); });
    }

    connect(menu->addAction(QStringLiteral("Autre chemin…")), &QAction::triggered, this,
            [this, port] { askPath(port); });
    connect(menu->addAction(QStringLiteral("Paramètres de la ligne…")), &QAction::triggered, this,
            [this, port] { askLine(port); });
    QAction *give = menu->addAction(QStringLiteral("Rendre le numéro au système"));
    give->setObjectName(QStringLiteral("release"));
    give->setEnabled(now.source == PortAssignments::Source::Chosen
                     || now.source == PortAssignments::Source::Automatic || !now.validPath);
    connect(give, &QAction::triggered, this, [this, port] { release(port); });
    menu->addSeparator();
    QAction *bench = menu->addAction(QStringLiteral("Banc d'essai…"), QKeySequence(Qt::CTRL | Qt::Key_B), this,
                                     &PortChooser::benchRequested);
    bench->setObjectName(QStringLiteral("bench"));

    m_menu = menu;
    menu->popup(globalPos);
}

void PortChooser::askLine(int port)
{
    if (m_lineDialog)
        m_lineDialog->close();
    auto *dialog = new LineSettingsDialog(port, m_ports.line(port), m_list->window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &LineSettingsDialog::chosen, this, [this](int n, const LineSettings &line) {
        const bool saved = m_ports.setLine(n, line);
        emit message(lineChosenText(n, line.text(), saved));
    });
    m_lineDialog = dialog;
    dialog->show(); // the reception goes on behind it
}

void PortChooser::askPath(int port)
{
    if (m_dialog)
        m_dialog->close();
    auto *dialog = new QInputDialog(m_list->window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("PathDialog"));
    dialog->setWindowTitle(QStringLiteral("Vantrel"));
    dialog->setLabelText(QStringLiteral("Chemin du périphérique pour COM") + QString::number(port)
                         + QStringLiteral(" (par exemple ") + deviceNameExamples() + QStringLiteral(") :"));
    const PortAssignments::Resolution now = m_ports.resolve(port);
    dialog->setTextValue(now.validPath ? now.path : now.raw);
    connect(dialog, &QInputDialog::textValueSelected, this, [this, port](const QString &text) {
        const QString path = text.trimmed();
        if (path.isEmpty())
            return;
        if (!canNameDevice(path)) {
            emit message(notAbsoluteText(port, path));
            return;
        }
        choose(port, path);
    });
    m_dialog = dialog;
    dialog->open();
}

void PortChooser::choose(int port, const QString &path)
{
    const bool saved = m_ports.choose(port, path);
    updateToolTips();
    emit message(choiceText(m_ports.resolve(port), saved, m_ports.settingsFile()));
}

void PortChooser::release(int port)
{
    const bool saved = m_ports.release(port);
    m_ports.refresh(); // the system may give the number again at once
    updateToolTips();
    emit message(releaseText(m_ports.resolve(port), saved, m_ports.settingsFile()));
}
