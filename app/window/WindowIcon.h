#pragma once

#include <QIcon>

// The program's icon, a barcode on a scanner's window, drawn here at the
// usual sizes so that the window has it without an image plugin. The same
// drawing as packaging/vantrel.svg.
QIcon vantrelIcon();
