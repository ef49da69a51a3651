#include "ControlPictures.h"
#include "LengthText.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

class tst_TextRules : public QObject
{
    Q_OBJECT
private slots:
    void length_data();
    void length();
    void shownCharacters_data();
    void shownCharacters();
    void everyByteRoundTrips();
    void randomLengthTexts();
};

void tst_TextRules::length_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");

    QTest::newRow("6") << "6" << true << 6;
    QTest::newRow("0") << "0" << true << 0;
    QTest::newRow("leading zeros") << "0006" << true << 6;
    QTest::newRow("spaces around") << "  12 " << true << 12;
    QTest::newRow("plus sign") << "+7" << true << 7;
    QTest::newRow("minus sign") << "-1" << true << -1;
    QTest::newRow("lowest") << "-32768" << true << -32768;
    QTest::newRow("highest") << "32767" << true << 32767;
    QTest::newRow("many leading zeros") << "0000000000000000000000000006" << true << 6;

    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("spaces only") << "   " << false << 0;
    QTest::newRow("sign only") << "-" << false << 0;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("fraction") << "6.5" << false << 0;
    QTest::newRow("decimal comma") << "6,5" << false << 0;
    QTest::newRow("one past highest") << "32768" << false << 0;
    QTest::newRow("one past lowest") << "-32769" << false << 0;
    QTest::newRow("99999") << "99999" << false << 0;
    QTest::newRow("huge") << "123456789012345678901234567890" << false << 0;
    QTest::newRow("space inside") << "1 2" << false << 0;
    QTest::newRow("space after sign") << "- 5" << false << 0;
    QTest::newRow("two signs") << "+-5" << false << 0;
    QTest::newRow("hex") << "0x10" << false << 0;
    QTest::newRow("exponent") << "1e3" << false << 0;
    QTest::newRow("tab") << "\t6" << false << 0;
    QTest::newRow("Arabic-Indic digit") << QString::fromUtf8("\u0666") << false << 0;
    QTest::newRow("fullwidth digit") << QString::fromUtf8("\uFF16") << false << 0;
    QTest::newRow("no-break space") << QString::fromUtf8("\u00A06") << false << 0;
}

void tst_TextRules::length()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    const auto n = lengthFromText(text);
    QCOMPARE(n.has_value(), valid);
    if (valid)
        QCOMPARE(int(*n), value);
}

// Every byte and the character the box shows for it, written out as an
// operator would read the table (Windows-1252 for 0x80-0x9F, the spare
// control pictures for its five undefined bytes).
void tst_TextRules::shownCharacters_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QChar>("shown");
    QTest::addColumn<bool>("nonPrinting");
    const QString table = QString::fromUtf16(
        u"␀␁␂␃␄␅␆␇␈␉␊␋␌␍␎␏" // 00
        u"␐␑␒␓␔␕␖␗␘␙␚␛␜␝␞␟" // 10
        u" !\"#$%&'()*+,-./" // 20
        u"0123456789:;<=>?" // 30
        u"@ABCDEFGHIJKLMNO" // 40
        u"PQRSTUVWXYZ[\\]^_" // 50
        u"`abcdefghijklmno" // 60
        u"pqrstuvwxyz{|}~␡" // 70
        u"€␦‚ƒ„…†‡ˆ‰Š‹Œ␥Ž␢" // 80
        u"␣‘’“”•–—˜™š›œ␤žŸ" // 90
        u"⍽¡¢£¤¥¦§¨©ª«¬‐®¯" // A0
        u"°±²³´µ¶·¸¹º»¼½¾¿" // B0
        u"ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏ" // C0
        u"ÐÑÒÓÔÕÖ×ØÙÚÛÜÝÞß" // D0
        u"àáâãäåæçèéêëìíîï" // E0
        u"ðñòóôõö÷øùúûüýþÿ"); // F0
    QCOMPARE(table.size(), 256);
    for (int byte = 0; byte < 256; ++byte) {
        const bool nonPrinting = byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F
            || byte == 0x90 || byte == 0x9D || byte == 0xA0 || byte == 0xAD;
        QTest::newRow(qPrintable(QStringLiteral("0x%1").arg(byte, 2, 16, QLatin1Char('0'))))
            << byte << table.at(byte) << nonPrinting;
    }
}

void tst_TextRules::shownCharacters()
{
    QFETCH(int, byte);
    QFETCH(QChar, shown);
    QFETCH(bool, nonPrinting);
    QCOMPARE(shownChar(uchar(byte)), shown);
    QCOMPARE(byteOfShownChar(shown), byte);
    QCOMPARE(isNonPrinting(shown), nonPrinting);
}

void tst_TextRules::everyByteRoundTrips()
{
    QByteArray all(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    const QString shown = shownText(QString::fromLatin1(all));
    QCOMPARE(shown.size(), 256);
    for (QChar c : shown) {
        // Nothing shown breaks a line, and nothing is a control or invisible.
        QVERIFY(c.unicode() >= 0x20 && c != QChar(0x7F) && !(c.unicode() >= 0x80 && c.unicode() <= 0xA0));
        QVERIFY(c != QChar::ParagraphSeparator && c != QChar::LineSeparator && c != QChar(0xAD));
        QCOMPARE(shown.count(c), 1); // each byte its own character
    }
    QCOMPARE(bytesOfShownText(shown).value_or("<not shown text>"), all);
    QVERIFY(!bytesOfShownText(QStringLiteral("\u2420")).has_value()); // SP picture: space shows as itself
    QVERIFY(!bytesOfShownText(QStringLiteral("\u0080")).has_value());
}

// Random texts built from the characters that matter (digits, signs, spaces,
// letters, dots, non-ASCII digits and spaces), checked against a second,
// independent reading of the rule: a regular expression and a 64-bit parse.
void tst_TextRules::randomLengthTexts()
{
    static const QString alphabet = QString::fromUtf8("0123456789+- .,eEx\t\u00A0\u0666\uFF16a\u00E9");
    static const QRegularExpression shape(QStringLiteral("^ *[+-]?[0-9]+ *$"));
    QRandomGenerator rng(20261208);
    int valid = 0;
    for (int i = 0; i < 100000; ++i) {
        const int length = int(rng.bounded(12));
        QString text;
        for (int k = 0; k < length; ++k)
            text += alphabet.at(int(rng.bounded(alphabet.size())));
        if (rng.bounded(4) == 0) // now and then a long run of digits
            text += QString::number(rng.bounded(100000)) + QString(int(rng.bounded(30)), u'0');

        std::optional<qint16> expected;
        if (shape.match(text).hasMatch()) {
            QString digits = text.trimmed();
            const bool negative = digits.startsWith(u'-');
            if (digits.startsWith(u'+') || digits.startsWith(u'-'))
                digits.remove(0, 1);
            while (digits.size() > 1 && digits.startsWith(u'0'))
                digits.remove(0, 1);
            if (digits.size() <= 6) {
                const qint64 v = (negative ? -1 : 1) * digits.toLongLong();
                if (v >= -32768 && v <= 32767)
                    expected = qint16(v);
            }
        }
        const auto got = lengthFromText(text);
        if (got != expected)
            QFAIL(qPrintable(QStringLiteral("\"%1\": got %2, expected %3")
                                 .arg(text, got ? QString::number(*got) : QStringLiteral("invalid"),
                                      expected ? QString::number(*expected) : QStringLiteral("invalid"))));
        valid += expected.has_value();
    }
    QVERIFY(valid > 1000); // the mix does reach valid texts
}

QTEST_APPLESS_MAIN(tst_TextRules)
#include "tst_textrules.moc"
