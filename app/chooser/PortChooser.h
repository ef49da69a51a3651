#pragma once

#include "LineSettingsDialog.h"

#include <QInputDialog>
#include <QMenu>
#include <QObject>
#include <QPointer>

class PortAssignments;
class QListWidget;

// The list of COM numbers as the operator sees it: each item's tooltip says
// which device the number stands for and why, and the list's context menu
// (right button, the Menu key, Shift+F10) gives a number to a present device,
// to a typed path, or back to the system.
//
// The menu and the path dialog are shown without a modal loop (popup(),
// open()): the window spends most of its time in a tick's wait, and a modal
// loop would stop the reception display while it is open. A choice is saved
// at once and takes effect at the next open, as a change of the list does.
class PortChooser : public QObject
{
    Q_OBJECT
public:
    PortChooser(QListWidget *list, PortAssignments &ports, QObject *parent = nullptr);

    // Writes each item's tooltip from what the numbers stand for now.
    void updateToolTips();
    // Opens the menu for COM n at a global position.
    void showMenu(int port, const QPoint &globalPos);

    // What is open now, for the tests.
    QMenu *menu() const { return m_menu; }
    QInputDialog *pathDialog() const { return m_dialog; }
    LineSettingsDialog *lineDialog() const { return m_lineDialog; }

signals:
    // A French message for the status line.
    void message(const QString &text);
    // "Banc d'essai…" was chosen in the menu.
    void benchRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int portOfRow(int row) const { return row + 1; }
    int currentPort() const;
    void choose(int port, const QString &path);
    void release(int port);
    void askPath(int port);
    void askLine(int port);

    QListWidget *m_list;
    PortAssignments &m_ports;
    QPointer<QMenu> m_menu;
    QPointer<QInputDialog> m_dialog;
    QPointer<LineSettingsDialog> m_lineDialog;
};
