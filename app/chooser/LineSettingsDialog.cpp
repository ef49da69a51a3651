#include "LineSettingsDialog.h"

#include "SerialComm.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLocale>
#include <QLineEdit>
#include <QPushButton>

namespace {

QComboBox *combo(QWidget *parent, const char *name, const QString &accessible)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setAccessibleName(accessible);
    return c;
}

void select(QComboBox *c, int value)
{
    c->setCurrentIndex(qMax(0, c->findData(value)));
}

} // namespace

LineSettingsDialog::LineSettingsDialog(int port, const LineSettings &current, QWidget *parent)
    : QDialog(parent), m_port(port)
{
    setObjectName(QStringLiteral("LineSettingsDialog"));
    setWindowTitle(QStringLiteral("Paramètres de la ligne de COM") + QString::number(port));

    speed = combo(this, "speed", QStringLiteral("Vitesse en bauds"));
    speed->setEditable(true);
    speed->setInsertPolicy(QComboBox::NoInsert);
    speed->lineEdit()->setValidator(new QIntValidator(LineSettings::MinBaud, LineSettings::MaxBaud, speed));
    for (int b : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600})
        speed->addItem(QString::number(b));
    dataBits = combo(this, "dataBits", QStringLiteral("Bits de données"));
    for (int d : {8, 7, 6, 5})
        dataBits->addItem(QString::number(d), d);
    parity = combo(this, "parity", QStringLiteral("Parité"));
    parity->addItem(QStringLiteral("Aucune (N)"), int(LineSettings::Parity::None));
    parity->addItem(QStringLiteral("Paire (E)"), int(LineSettings::Parity::Even));
    parity->addItem(QStringLiteral("Impaire (O)"), int(LineSettings::Parity::Odd));
    parity->addItem(QStringLiteral("Marque (M)"), int(LineSettings::Parity::Mark));
    parity->addItem(QStringLiteral("Espace (S)"), int(LineSettings::Parity::Space));
    stopBits = combo(this, "stopBits", QStringLiteral("Bits d'arrêt"));
    stopBits->addItem(QStringLiteral("1"), int(LineSettings::StopBits::One));
    stopBits->addItem(QStringLiteral("1,5"), int(LineSettings::StopBits::OneAndHalf));
    stopBits->addItem(QStringLiteral("2"), int(LineSettings::StopBits::Two));
    flow = combo(this, "flow", QStringLiteral("Contrôle de flux"));
    flow->addItem(QStringLiteral("Aucun"), int(LineSettings::Flow::None));
    flow->addItem(QStringLiteral("Matériel (RTS/CTS)"), int(LineSettings::Flow::Hardware));
    flow->addItem(QStringLiteral("Logiciel (XON/XOFF)"), int(LineSettings::Flow::Software));

    const auto problemLabel = [this](const char *name, const QString &accessible) {
        auto *l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        l->setTextFormat(Qt::PlainText); // a typed speed comes back in it
        l->setWordWrap(true);
        l->setAccessibleName(accessible);
        l->hide();
        return l;
    };
    m_speedProblem = problemLabel("speedProblem", QStringLiteral("Problème de vitesse"));
    m_stopProblem = problemLabel("stopProblem", QStringLiteral("Problème de bits d'arrêt"));

    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Vitesse (bauds) :"), speed);
    form->addRow(QString(), m_speedProblem);
    form->addRow(QStringLiteral("&Bits de données :"), dataBits);
    form->addRow(QStringLiteral("&Parité :"), parity);
    form->addRow(QStringLiteral("Bits d'&arrêt :"), stopBits);
    form->addRow(QString(), m_stopProblem);
    form->addRow(QStringLiteral("&Contrôle de flux :"), flow);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                             | QDialogButtonBox::RestoreDefaults, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
    buttons->button(QDialogButtonBox::RestoreDefaults)->setText(QStringLiteral("9600 8N1"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            [this] { display(LineSettings{}); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        const auto s = settings();
        if (check() && s) {
            emit chosen(m_port, *s);
            accept();
        }
    });
    // A problem said goes as soon as it is mended.
    for (QComboBox *c : {dataBits, stopBits})
        connect(c, &QComboBox::currentIndexChanged, this, [this] {
            if (m_speedProblem->isVisible() || m_stopProblem->isVisible())
                check();
        });
    connect(speed, &QComboBox::currentTextChanged, this, [this] {
        if (m_speedProblem->isVisible() || m_stopProblem->isVisible())
            check();
    });
    display(current);
}

void LineSettingsDialog::display(const LineSettings &line)
{
    speed->setCurrentText(QString::number(line.baud));
    select(dataBits, int(line.dataBits));
    select(parity, int(line.parity));
    select(stopBits, int(line.stopBits));
    select(flow, int(line.flow));
}

QString LineSettingsDialog::problem() const
{
    const QLocale french(QLocale::French);
    if (!settings())
        return QStringLiteral("Vitesse « %1 » impossible : de %2 à %3 bauds.")
            .arg(speed->currentText(), french.toString(LineSettings::MinBaud), french.toString(LineSettings::MaxBaud));
    return SerialComm::lineRefusal(*settings());
}

bool LineSettingsDialog::check()
{
    const QString why = problem();
    const bool speedAtFault = !settings();
    m_speedProblem->setText(speedAtFault ? why : QString());
    m_speedProblem->setVisible(speedAtFault);
    m_stopProblem->setText(speedAtFault ? QString() : why);
    m_stopProblem->setVisible(!speedAtFault && !why.isEmpty());
    return why.isEmpty();
}

std::optional<LineSettings> LineSettingsDialog::settings() const
{
    bool ok = false;
    LineSettings s;
    s.baud = speed->currentText().toInt(&ok);
    if (!ok || s.baud < LineSettings::MinBaud || s.baud > LineSettings::MaxBaud)
        return std::nullopt;
    s.dataBits = dataBits->currentData().toInt();
    s.parity = LineSettings::Parity(parity->currentData().toInt());
    s.stopBits = LineSettings::StopBits(stopBits->currentData().toInt());
    s.flow = LineSettings::Flow(flow->currentData().toInt());
    return s;
}
