#include "EndingChooser.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
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
    auto *endingLabel = new QLabel(QStringLiteral("&Fin d'un scan :"), this);
    endingLabel->setBuddy(m_ending);
    auto *silenceLabel = new QLabel(QStringLiteral("&Silence :"), this);
    silenceLabel->setBuddy(m_silence);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(endingLabel);
    row->addWidget(m_ending);
    row->addSpacing(12);
    row->addWidget(silenceLabel);
    row->addWidget(m_silence);
    row->addStretch();

    const auto update = [this] {
        m_silence->setEnabled(ending() == ScanFramer::Ending::Silence);
        emit changed();
    };
    connect(m_ending, &QComboBox::currentIndexChanged, this, update);
    connect(m_silence, &QSpinBox::valueChanged, this, update);
    m_silence->setEnabled(ending() == ScanFramer::Ending::Silence);
}

ScanFramer::Ending EndingChooser::ending() const
{
    return Endings[qBound(0, m_ending->currentIndex(), EndingCount - 1)].ending;
}

int EndingChooser::silenceMs() const
{
    return m_silence->value();
}

void EndingChooser::set(ScanFramer::Ending ending, int silenceMs)
{
    for (int i = 0; i < EndingCount; ++i)
        if (Endings[i].ending == ending)
            m_ending->setCurrentIndex(i);
    m_silence->setValue(silenceMs);
}

QString EndingChooser::shown() const
{
    return m_ending->currentText();
}

QString EndingChooser::key() const
{
    return QString::fromLatin1(Endings[qBound(0, m_ending->currentIndex(), EndingCount - 1)].key);
}

void EndingChooser::setKey(const QString &key)
{
    for (int i = 0; i < EndingCount; ++i)
        if (key == QLatin1String(Endings[i].key))
            m_ending->setCurrentIndex(i);
}

void EndingChooser::setSilenceMs(int ms)
{
    m_silence->setValue(ms);
}
