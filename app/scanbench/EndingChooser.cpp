#include "EndingChooser.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>

#include <iterator>

namespace {

struct EndingName {
    ScanFramer::Ending ending;
    const char *key;   // in the settings
    const char *shown; // in the list
};
const EndingName Endings[] = {
    {ScanFramer::Ending::Automatic, "automatic", "automatique (CR, LF, CR LF ou TAB)"},
    {ScanFramer::Ending::Cr, "cr", "CR"},
    {ScanFramer::Ending::Lf, "lf", "LF"},
    {ScanFramer::Ending::CrLf, "crlf", "CR LF"},
    {ScanFramer::Ending::Tab, "tab", "TAB"},
    {ScanFramer::Ending::Byte, "byte", "octet (hexadécimal)"},
    {ScanFramer::Ending::Silence, "silence", "silence entre les octets"},
};
constexpr int EndingCount = int(std::size(Endings));

} // namespace

EndingChooser::EndingChooser(QWidget *parent) : QWidget(parent)
{
    m_ending = new QComboBox(this);
    m_ending->setObjectName(QStringLiteral("ending"));
    for (const EndingName &e : Endings)
        m_ending->addItem(QString::fromUtf8(e.shown));
    m_ending->setAccessibleName(QStringLiteral("Fin d'un scan"));
    m_silence = new QSpinBox(this);
    m_silence->setObjectName(QStringLiteral("silenceMs"));
    m_silence->setRange(1, 10000);
    m_silence->setValue(ScanFramer::DefaultSilenceMs);
    m_silence->setSuffix(QStringLiteral(" ms"));
    m_silence->setAccessibleName(QStringLiteral("Silence qui termine un scan"));
    m_byte = new QLineEdit(this);
    m_byte->setObjectName(QStringLiteral("endByte"));
    m_byte->setInputMask(QStringLiteral("HH"));
    m_byte->setText(QStringLiteral("03"));
    m_byte->setMaximumWidth(m_byte->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    m_byte->setAccessibleName(QStringLiteral("Octet qui termine un scan, en hexadécimal"));
    m_byte->setToolTip(QStringLiteral("L'octet qui termine un scan, en hexadécimal : 03 pour ETX, 04 pour EOT."));
    auto *endingLabel = new QLabel(QStringLiteral("&Fin d'un scan :"), this);
    endingLabel->setBuddy(m_ending);
    auto *silenceLabel = new QLabel(QStringLiteral("&Silence :"), this);
    silenceLabel->setBuddy(m_silence);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(endingLabel);
    row->addWidget(m_ending);
    row->addWidget(m_byte);
    row->addSpacing(12);
    row->addWidget(silenceLabel);
    row->addWidget(m_silence);
    row->addStretch();

    const auto update = [this] {
        m_silence->setEnabled(ending() == ScanFramer::Ending::Silence);
        m_byte->setEnabled(ending() == ScanFramer::Ending::Byte);
        emit changed();
    };
    connect(m_ending, &QComboBox::currentIndexChanged, this, update);
    connect(m_silence, &QSpinBox::valueChanged, this, update);
    connect(m_byte, &QLineEdit::textChanged, this, update);
    m_silence->setEnabled(ending() == ScanFramer::Ending::Silence);
    m_byte->setEnabled(false);
}

ScanFramer::Ending EndingChooser::ending() const
{
    return Endings[qBound(0, m_ending->currentIndex(), EndingCount - 1)].ending;
}

int EndingChooser::silenceMs() const
{
    return m_silence->value();
}

// A byte half typed ("3") is that digit: 0x03.
uchar EndingChooser::endByte() const
{
    bool ok = false;
    const uint b = m_byte->text().trimmed().toUInt(&ok, 16);
    return ok && b <= 0xFF ? uchar(b) : ScanFramer::DefaultEndByte;
}

void EndingChooser::set(ScanFramer::Ending ending, int silenceMs)
{
    for (int i = 0; i < EndingCount; ++i)
        if (Endings[i].ending == ending)
            m_ending->setCurrentIndex(i);
    m_silence->setValue(silenceMs);
}

namespace {
QString hexByte(uchar b)
{
    return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
}
} // namespace

QString EndingChooser::shown() const
{
    if (ending() == ScanFramer::Ending::Byte)
        return QStringLiteral("octet 0x") + hexByte(endByte());
    return m_ending->currentText();
}

QString EndingChooser::key() const
{
    const QString key = QString::fromLatin1(Endings[qBound(0, m_ending->currentIndex(), EndingCount - 1)].key);
    return ending() == ScanFramer::Ending::Byte ? key + u':' + hexByte(endByte()) : key;
}

void EndingChooser::setKey(const QString &key)
{
    QString name = key;
    if (key.startsWith(QLatin1String("byte:"))) {
        bool ok = false;
        const uint b = key.mid(5).toUInt(&ok, 16);
        if (!ok || b > 0xFF || key.size() > 7)
            return; // nonsense: left as it is
        m_byte->setText(hexByte(uchar(b)));
        name = QStringLiteral("byte");
    }
    for (int i = 0; i < EndingCount; ++i)
        if (name == QLatin1String(Endings[i].key))
            m_ending->setCurrentIndex(i);
}

void EndingChooser::setSilenceMs(int ms)
{
    m_silence->setValue(ms);
}
