#pragma once

#include <QByteArray>
#include <QList>
#include <QPlainTextEdit>

// "Codes manquants": the expected codes not read yet, one a line (control
// bytes as \xNN), in a window of their own that the bench raises again.
class MissingCodesView : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit MissingCodesView(QWidget *parent);
    void showCodes(const QList<QByteArray> &missing, qsizetype expected);
};
