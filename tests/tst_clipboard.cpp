#include "FakeWindow.h"
#include "XSelectionClient.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>

#include <future>

// Pastes into the window's text boxes under X11 (the README's test command
// runs this suite under Xvfb), with the selection owned by another client
// that answers, that hangs, or that has gone away.
namespace {

enum class Owner { Answering, Silent, Gone };
enum class Action { CtrlV, ShiftInsert, MiddleClick, ContextMenu };

QString textOf(QWidget *box)
{
    if (auto *line = qobject_cast<QLineEdit *>(box))
        return line->text();
    return static_cast<QPlainTextEdit *>(box)->toPlainText();
}

void setTextOf(QWidget *box, const QString &text)
{
    if (auto *line = qobject_cast<QLineEdit *>(box)) {
        line->setText(text);
        return;
    }
    auto *edit = static_cast<QPlainTextEdit *>(box);
    edit->setPlainText(text);
    edit->moveCursor(QTextCursor::End);
}

QWidget *mouseTarget(QWidget *box)
{
    if (auto *edit = qobject_cast<QPlainTextEdit *>(box))
        return edit->viewport();
    return box;
}

void closePopups()
{
    while (QWidget *popup = QApplication::activePopupWidget())
        popup->close();
}

// What another program gets from the selection, while this one answers.
QByteArray readFromOutside(XSelectionClient::Selection s)
{
    auto result = std::async(std::launch::async, [s] { return XSelectionClient::read(s, 3000); });
    while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QTest::qWait(10);
    return result.get();
}

} // namespace

Q_DECLARE_METATYPE(Owner)
Q_DECLARE_METATYPE(Action)

class tst_Clipboard : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void paste_data();
    void paste();
};

void tst_Clipboard::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (the test command runs this suite under Xvfb)");
}

void tst_Clipboard::paste_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<Action>("action");
    QTest::addColumn<Owner>("owner");

    const struct {
        const char *name;
        Owner owner;
    } owners[] = {{"owner answers", Owner::Answering}, {"owner hangs", Owner::Silent}, {"owner gone", Owner::Gone}};
    const struct {
        const char *name;
        Action action;
    } actions[] = {{"Ctrl+V", Action::CtrlV},
                   {"Shift+Insert", Action::ShiftInsert},
                   {"middle click", Action::MiddleClick},
                   {"context menu", Action::ContextMenu}};
    for (const char *box : {"Text1", "Text2", "Text3"}) {
        for (const auto &o : owners) {
            for (const auto &a : actions)
                QTest::addRow("%s, %s, %s", box, a.name, o.name) << QString::fromLatin1(box) << a.action << o.owner;
        }
    }
}

void tst_Clipboard::paste()
{
    QFETCH(QString, box);
    QFETCH(Action, action);
    QFETCH(Owner, owner);

    FakeWindow b;
    b.w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&b.w));
    auto *control = b.w.findChild<QWidget *>(box);
    QVERIFY(control);
    setTextOf(control, QStringLiteral("avant"));

    const auto selection = action == Action::MiddleClick ? XSelectionClient::Selection::Primary
                                                         : XSelectionClient::Selection::Clipboard;
    XSelectionClient other;
    QVERIFY(other.isValid());
    if (owner == Owner::Answering)
        QVERIFY(other.ownAnswering(selection, QByteArrayLiteral("collé")));
    else
        QVERIFY(other.ownSilent(selection));
    if (owner == Owner::Gone)
        other.destroyOwner();
    QTest::qWait(50); // the window learns that it no longer owns the selection

    QAction *pasteAction = nullptr;
    switch (action) {
    case Action::CtrlV:
        QTest::keyClick(control, Qt::Key_V, Qt::ControlModifier);
        break;
    case Action::ShiftInsert:
        QTest::keyClick(control, Qt::Key_Insert, Qt::ShiftModifier);
        break;
    case Action::MiddleClick:
        QTest::mouseClick(mouseTarget(control), Qt::MiddleButton, {}, QPoint(5, 5));
        break;
    case Action::ContextMenu: {
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), control->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(mouseTarget(control), &menuEvent);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction *a : menu->actions()) {
            // QPlainTextEdit names its actions; QLineEdit's go by their text.
            if (a->objectName() == QLatin1String("edit-paste") || a->text().startsWith(QLatin1String("&Paste")))
                pasteAction = a;
        }
        QVERIFY(pasteAction);
        // Something to paste only when the owner answered.
        QCOMPARE(pasteAction->isEnabled(), owner == Owner::Answering);
        if (pasteAction->isEnabled())
            pasteAction->trigger();
        closePopups();
        break;
    }
    }

    if (owner == Owner::Answering)
        QCOMPARE(textOf(control).remove(QStringLiteral("collé")), QStringLiteral("avant"));
    else
        QCOMPARE(textOf(control), QStringLiteral("avant")); // nothing pasted, and alive

    // A copy from the box still reaches the other programs.
    other.destroyOwner();
    b.w.Text1->setPlainText(QStringLiteral("copie ✓ ␍"));
    b.w.Text1->selectAll();
    QTest::keyClick(b.w.Text1, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QString::fromUtf8(readFromOutside(XSelectionClient::Selection::Clipboard)),
             QStringLiteral("copie ✓ ␍"));
    b.w.close();
}

QTEST_MAIN(tst_Clipboard)
#include "tst_clipboard.moc"
