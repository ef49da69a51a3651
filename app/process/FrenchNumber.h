#pragma once

#include <QString>

// A number as the window's French words write it, "16 384", whatever the
// process's locale.
QString frenchNumber(qint64 n);
