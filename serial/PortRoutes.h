#pragma once

#include "LineSettings.h"

#include <QString>

// What COM n stands for, when something above the control numbers the
// ports (the window's port numbering, kept in the user's settings). The
// control asks at every open; without routes it opens comDevicePath(n) at
// 9600 8N1.
class PortRoutes
{
public:
    struct Route {
        QString path;         // the device to open; empty: none
        bool validPath = true; // false: the settings hold something that is no path
        QString raw;          // what they hold, for the message
        QString settingsFile; // where they are, for the message
        LineSettings line;    // how the line of COM n is set
    };

    virtual ~PortRoutes() = default;
    virtual Route route(int n) const = 0;
};
