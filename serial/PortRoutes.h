#pragma once

#include "CommError.h"
#include "LineSettings.h"

#include <QString>

// What COM n stands for, when something above the control numbers the
// ports (the window's port numbering, kept in the user's settings). The
// control asks at every open; without routes it opens comRoute(n): the
// device VANTREL_COM<n> names, or /dev/ttyS<n-1>, at 9600 8N1.
class PortRoutes
{
public:
    struct Route {
        QString path;                        // the device to open; empty: none
        CommError refusal = CommError::None; // not opened, for this reason (BadSetting, PathNotText)
        QString shown;                       // for the refusal: what stands in place of a path
        QString detail;                      // for the refusal: where it was written
        LineSettings line;                   // how the line of COM n is set
    };

    virtual ~PortRoutes() = default;
    virtual Route route(int n) const = 0;
};
