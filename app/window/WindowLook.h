#pragma once

#include <QSize>
#include <QString>

class QWidget;
class ReceptionBox;

// The window's size and place and the box's text size, as the operator left
// them, kept in the settings file beside the ports:
//
//   [Window]
//   geometry=10 20 600 450
//   textSize=11
//
// Nothing is kept while they are as drawn; a size below the drawn one, or
// beyond any screen, is not restored.
class WindowLook
{
public:
    static void restore(QWidget &window, ReceptionBox &box, QSize drawn, const QString &settingsFile);
    static void save(const QWidget &window, const ReceptionBox &box, QSize drawn, const QString &settingsFile);
};
