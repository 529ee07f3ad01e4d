// Keys and focus with real key presses: xdotool presses the keys through
// the X server (XTest), as a keyboard does, so a shortcut that only
// synthetic events reach fails here. Runs on the xcb platform (on_xvfb.sh).
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <cstdio>

#include "ui/animation_panel.h"
#include "ui/comment_edit.h"
#include "ui/tool_window.h"
#include "ui/ui_test.h"

namespace zell::test {
namespace {

constexpr int kWaitMs = 10000;
// The X modifier bit that NumLock sets in the usual keymaps.
constexpr quint32 kNumLockMask = 0x10;

// Presses keys through the X server; `keys` as xdotool names them.
bool press(const QString& keys)
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + keys.split(QLatin1Char(' ')));
    return xdotool.waitForFinished(kWaitMs) && xdotool.exitStatus() == QProcess::NormalExit
           && xdotool.exitCode() == 0;
}

// The native modifiers of the last key press the program received.
class KeyRecorder final : public QObject {
public:
    KeyRecorder() { qApp->installEventFilter(this); }
    ~KeyRecorder() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            lastNativeModifiers = static_cast<QKeyEvent*>(event)->nativeModifiers();
        return false;
    }
    quint32 lastNativeModifiers = 0;
};

// The window active on the X server and the focus on the list.
bool activate(WindowFixture& w)
{
    if (!QTest::qWaitForWindowExposed(&w.window, kWaitMs))
        return false;
    w.window.activateWindow();
    if (!QTest::qWaitForWindowActive(&w.window, kWaitMs))
        return false;
    w.list().setFocus();
    return QTest::qWaitFor([&w] { return w.list().hasFocus(); }, kWaitMs);
}

} // namespace

class RealKeysTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(),
                 "xdotool is missing (scripts/setup installs it)");
    }

    // The keys that move frames or make one current, each row pressed after
    // the one before on five frames, with NumLock off and on: the keypad's
    // keys arrive with NumLock in their modifiers.
    void listKeysMoveAndPickFramesWithNumLockOffAndOn()
    {
        const struct {
            const char *keys, *order;
            int current;
        } steps[] = {
            {"KP_Subtract", "0,2,1,3,4", 1},   {"KP_Add KP_Add", "0,1,3,2,4", 3}, {"ctrl+KP_Subtract", "2,0,1,3,4", 0},
            {"ctrl+KP_Add", "0,1,3,4,2", 4},   {"alt+Up", "0,1,3,2,4", 3},        {"alt+Home", "2,0,1,3,4", 0},
            {"alt+Down", "0,2,1,3,4", 1},      {"alt+End", "0,1,3,4,2", 4},       {"ctrl+Home", "0,1,3,4,2", 0},
            {"End", "0,1,3,4,2", 4},           {"Home", "0,1,3,4,2", 0},          {"ctrl+End", "0,1,3,4,2", 4},
        };
        KeyRecorder recorder;
        for (const bool numLock : {false, true}) {
            WindowFixture w(5);
            QVERIFY(activate(w));
            w.list().select(2);
            if (numLock)
                QVERIFY(press("Num_Lock"));
            for (const auto& step : steps) {
                QVERIFY(press(QString::fromLatin1(step.keys)));
                QTRY_COMPARE_WITH_TIMEOUT(w.doc.names().join(',').remove('f'), QString::fromLatin1(step.order), kWaitMs);
                QTRY_COMPARE_WITH_TIMEOUT(w.doc.model.currentIndex(), step.current, kWaitMs);
                QVERIFY2(w.list().selectedRows() == QList<int>{step.current}, step.keys);
            }
            QCOMPARE(bool(recorder.lastNativeModifiers & kNumLockMask), numLock);
        }
        QVERIFY(press("Num_Lock")); // off again for the tests that follow
    }

    void typedKeysGoToTheFocusedTextField()
    {
        WindowFixture w(2);
        QVERIFY(activate(w));
        w.list().select(0);
        ToolWindow* palette = w.window.paletteWindow();
        ToolWindow* imageView = w.window.imageViewWindow();
        w.window.animationPanel()->commentBox()->click();
        CommentEdit* comment = w.window.animationPanel()->commentEdit();
        comment->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(comment->hasFocus(), kWaitMs);
        QVERIFY(press("shift+c shift+i KP_Subtract"));
        QTRY_COMPARE_WITH_TIMEOUT(comment->toPlainText(), QStringLiteral("CI-"), kWaitMs);
        QVERIFY(press("ctrl+a Home Delete")); // Ctrl+A selects the text, not the frames
        QTRY_COMPARE_WITH_TIMEOUT(comment->toPlainText(), QStringLiteral("I-"), kWaitMs);
        QCOMPARE(w.list().selectedRows(), QList<int>{0});
        QVERIFY(!palette->isVisible());
        QVERIFY(!imageView->isVisible());
        QCOMPARE(w.doc.names(), frameNames({0, 1}));

        // In the rename editor Delete and the keypad keys edit the name.
        w.list().setFocus();
        w.list().startRename();
        QLineEdit* editor = w.list().renameEditor();
        QTRY_VERIFY_WITH_TIMEOUT(editor->hasFocus(), kWaitMs);
        QVERIFY(press("Delete KP_Add shift+c"));
        QTRY_COMPARE_WITH_TIMEOUT(editor->text(), QStringLiteral("+C"), kWaitMs);
        QVERIFY(press("Return"));
        QTRY_VERIFY_WITH_TIMEOUT(w.list().hasFocus(), kWaitMs);
        QCOMPARE(w.doc.names(), (QStringList{"+C", "f1"}));
        QVERIFY(!palette->isVisible());

        // With the focus on the list the same keys are commands.
        QVERIFY(press("Delete"));
        QTRY_COMPARE_WITH_TIMEOUT(w.doc.names(), QStringList{"f1"}, kWaitMs);
        QVERIFY(press("shift+c"));
        QTRY_VERIFY_WITH_TIMEOUT(palette->isVisible(), kWaitMs);
    }
};

} // namespace zell::test

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    zell::test::RealKeysTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "real_keys_test.moc"
