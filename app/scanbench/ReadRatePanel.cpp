#include "FrenchNumber.h"
#include "ReadRatePanel.h"

#include "ReadRateTest.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

ReadRatePanel::ReadRatePanel(ReadRateTest &test, std::function<int()> framingGraceMs, QWidget *parent)
    : QWidget(parent), m_test(test), m_framingGraceMs(std::move(framingGraceMs))
{
    const auto spin = [this](const char *name, int from, int to, int value, const QString &suffix, const QString &a11y) {
        auto *box = new QSpinBox(this);
        box->setObjectName(QLatin1String(name));
        box->setRange(from, to);
        box->setValue(value);
        box->setSuffix(suffix);
        box->setAccessibleName(a11y);
        box->setGroupSeparatorShown(true);
        return box;
    };
    m_triggers = spin("triggers", 1, 100000, 100, QString(), QStringLiteral("Nombre de gâchettes"));
    m_waitMs = spin("waitMs", 10, 60000, 1000, QStringLiteral(" ms"), QStringLiteral("Attente d'un scan"));
    m_pauseMs = spin("pauseMs", 0, 60000, 200, QStringLiteral(" ms"), QStringLiteral("Pause entre deux gâchettes"));
    m_run = new QPushButton(QStringLiteral("&Test de lecture"), this);
    m_run->setObjectName(QStringLiteral("runTest"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("testProgress"));
    m_progress->setAccessibleName(QStringLiteral("Avancement du test"));
    m_progress->setFormat(QStringLiteral("%v / %m"));
    m_progress->setValue(0);
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("testResult"));
    m_result->setTextFormat(Qt::PlainText);
    m_result->setAccessibleName(QStringLiteral("Résultat du test de lecture"));
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto *row = new QHBoxLayout;
    const std::pair<const char *, QSpinBox *> fields[] = {
        {"&Gâchettes :", m_triggers}, {"&Attente :", m_waitMs}, {"&Pause :", m_pauseMs}};
    for (const auto &[label, box] : fields) {
        auto *l = new QLabel(QString::fromUtf8(label), this);
        l->setBuddy(box);
        row->addWidget(l);
        row->addWidget(box);
    }
    row->addWidget(m_run);
    row->addWidget(m_progress, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(row);
    layout->addWidget(m_result);

    connect(m_run, &QPushButton::clicked, this, [this] {
        if (m_test.running())
            m_test.stop();
        else
            start(m_triggers->value(), m_waitMs->value(), m_pauseMs->value());
    });
    connect(&m_test, &ReadRateTest::progress, this, [this](int done, int total) {
        m_progress->setMaximum(total);
        m_progress->setValue(done);
    });
    connect(&m_test, &ReadRateTest::finished, this, &ReadRatePanel::finished);
}

QString ReadRatePanel::start(int triggers, int waitMs, int pauseMs)
{
    m_triggers->setValue(triggers);
    m_waitMs->setValue(waitMs);
    m_pauseMs->setValue(pauseMs);
    QString why;
    m_progress->setMaximum(m_triggers->value());
    m_progress->setValue(0);
    const QLocale french(QLocale::French);
    m_lastSetting = QStringLiteral("%1 gâchettes, attente %2 ms, pause %3 ms")
                        .arg(french.toString(m_triggers->value()), french.toString(m_waitMs->value()),
                             french.toString(m_pauseMs->value()));
    if (!m_test.start(m_triggers->value(), m_waitMs->value(), m_pauseMs->value(), m_framingGraceMs(), &why)) {
        emit message(QStringLiteral("Test de lecture non lancé : ") + why);
        return why;
    }
    if (!m_test.running())
        return {}; // ended at once (the port closed under the first trigger)
    m_run->setText(QStringLiteral("Arrêter le &test"));
    m_result->setText(QStringLiteral("Test de lecture en cours : ") + m_lastSetting);
    m_result->setToolTip(QString());
    emit runningChanged(true);
    emit message({});
    return {};
}

void ReadRatePanel::finished(const ReadRateFigures &figures, const QString &why)
{
    m_last = figures;
    m_run->setText(QStringLiteral("&Test de lecture"));
    // Two lines, so that the panel keeps to its place below the table; the
    // histogram's bars are in the tooltip, the picture and the report.
    m_result->setText(shortText());
    m_result->setToolTip(resultText());
    m_result->setAccessibleDescription(resultText());
    emit runningChanged(false);
    if (!why.isEmpty())
        emit message(QStringLiteral("Test de lecture ")
                     + (why == QStringLiteral("arrêté") ? why : QStringLiteral("arrêté : ") + why)
                     + QStringLiteral(" après %1 gâchette%2.")
                           .arg(figures.triggers)
                           .arg(figures.triggers > 1 ? QStringLiteral("s") : QString()));
}

QString ReadRatePanel::resultText() const
{
    if (!m_last)
        return {};
    return QStringLiteral("Test de lecture (") + m_lastSetting + QStringLiteral(") : ") + m_last->readsText()
        + QStringLiteral("\nGâchette → données : ") + m_last->timesText() + u'\n' + m_last->histogramText().trimmed();
}

QString ReadRatePanel::shortText() const
{
    if (!m_last)
        return {};
    QStringList bins;
    const QList<int> counts = m_last->histogram();
    for (int b = 0; b < ReadRateFigures::BinCount; ++b)
        if (counts[b] > 0)
            bins << ReadRateFigures::binName(b) + QStringLiteral(" : ") + frenchNumber(counts[b]);
    return QStringLiteral("Test de lecture (") + m_lastSetting + QStringLiteral(") : ") + m_last->readsText()
        + QStringLiteral("\nGâchette → données : ") + m_last->timesText()
        + (bins.isEmpty() ? QString() : QStringLiteral(" ; ") + bins.join(QStringLiteral(", ")));
}

QString ReadRatePanel::settingsText() const
{
    return QStringLiteral("%1 %2 %3").arg(m_triggers->value()).arg(m_waitMs->value()).arg(m_pauseMs->value());
}

void ReadRatePanel::setSettingsText(const QString &text)
{
    const QStringList parts = text.split(u' ');
    if (parts.size() != 3)
        return;
    m_triggers->setValue(parts[0].toInt());
    m_waitMs->setValue(parts[1].toInt());
    m_pauseMs->setValue(parts[2].toInt());
}
