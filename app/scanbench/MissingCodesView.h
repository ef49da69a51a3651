#pragma once

#include "MissingCodes.h"

#include <QListView>

class ScanTally;

// "Codes manquants": the expected codes not read yet, one a line, in a
// window of their own that the bench raises again. A list view over a
// model: a million codes make no widget each, and only the lines in view
// are drawn.
class MissingCodesView : public QListView
{
    Q_OBJECT
public:
    explicit MissingCodesView(QWidget *parent);
    void showCodes(const ScanTally &tally);

private:
    MissingCodes m_codes;
};
