// The text cursor stops blinking once nobody has touched the program for a
// while, and blinks again at the next key press.

#include "platform/ui/CursorBlink.h"

#include <QApplication>
#include <QLineEdit>
#include <QtTest>

using namespace qel;

class TestCursorBlink : public QObject {
    Q_OBJECT
private slots:
    void stopsWhenIdleAndComesBackOnInput();
};

void TestCursorBlink::stopsWhenIdleAndComesBackOnInput()
{
    QApplication::setCursorFlashTime(1000);
    QLineEdit edit;
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    CursorBlinkTimeout blink(60);
    QCOMPARE(QApplication::cursorFlashTime(), 1000);
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::cursorFlashTime(), 0, 2000);
    QTest::keyClick(&edit, Qt::Key_1);
    QCOMPARE(QApplication::cursorFlashTime(), 1000);
    QCOMPARE(edit.text(), QStringLiteral("1")); // the key still reaches the box
    QTRY_COMPARE_WITH_TIMEOUT(QApplication::cursorFlashTime(), 0, 2000);
}

QTEST_MAIN(TestCursorBlink)
#include "test_cursor_blink.moc"
