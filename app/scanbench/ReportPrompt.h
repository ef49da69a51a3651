#pragma once

#include <QObject>
#include <QString>

class QWidget;

// Asks where the scanner bench's report goes, without a modal loop: a file
// dialog, then, when the CSV, its summary or its picture is there already,
// whether to replace those that are. chosen() follows an answer that says where to write.
class ReportPrompt : public QObject
{
    Q_OBJECT
public:
    // Opens the dialog over `window`; the prompt goes with it.
    static ReportPrompt *open(QWidget *window);

signals:
    void chosen(const QString &csvFile);

private:
    explicit ReportPrompt(QWidget *window);
    void confirm(const QString &file);

    QWidget *m_window;
};
