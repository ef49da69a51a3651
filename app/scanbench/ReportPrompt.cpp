#include "ReportPrompt.h"

#include "BenchReport.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

ReportPrompt::ReportPrompt(QWidget *window) : QObject(window), m_window(window) {}

ReportPrompt *ReportPrompt::open(QWidget *window)
{
    auto *prompt = new ReportPrompt(window);
    auto *dialog = new QFileDialog(window, QStringLiteral("Enregistrer le rapport"));
    dialog->setObjectName(QStringLiteral("reportDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilters({QStringLiteral("Rapport CSV (*.csv)")});
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->selectFile(QStringLiteral("banc-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))
                       + QStringLiteral(".csv"));
    // The dialog's own question would run a loop of its own.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    connect(dialog, &QFileDialog::fileSelected, prompt, &ReportPrompt::confirm);
    connect(dialog, &QFileDialog::rejected, prompt, &QObject::deleteLater);
    dialog->open();
    return prompt;
}

void ReportPrompt::confirm(const QString &file)
{
    QStringList there;
    for (const QString &f : {file, BenchReport::summaryPathFor(file), BenchReport::chartPathFor(file)})
        if (QFileInfo::exists(f))
            there << f;
    if (there.isEmpty()) {
        emit chosen(file);
        deleteLater();
        return;
    }
    auto *box = new QMessageBox(QMessageBox::Question, QStringLiteral("Enregistrer le rapport"),
                                BenchReport::changedText(there)
                                    + (there.size() > 1 ? QStringLiteral(" existent déjà. Voulez-vous les remplacer ?")
                                                        : QStringLiteral(" existe déjà. Voulez-vous le remplacer ?")),
                                QMessageBox::Yes | QMessageBox::No, m_window);
    box->setObjectName(QStringLiteral("confirmReport"));
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, file](int answer) {
        if (answer == QMessageBox::Yes)
            emit chosen(file);
        deleteLater();
    });
    box->open();
}
