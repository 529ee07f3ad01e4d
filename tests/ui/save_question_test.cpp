// A changed document is never replaced or discarded without the question
// whether to save it first; the main window's title says which project is
// open and whether it changed since it was saved.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include "app/string_table.h"
#include "document/project_file.h"
#include "ui/file_commands.h"
#include "ui/gif_files.h"
#include "ui/ui_test.h"

namespace zell::test {
namespace {

// Two frames imported, so changed and in no project yet; "other.zpj" holds a
// project of one frame.
struct QuestionFixture : WindowFixture {
    QuestionFixture() : WindowFixture(0)
    {
        const QString gif = path("in.gif");
        writeBytes(gif, tinyGif(2, false, 9, 3));
        prompter.dialogScript = fileDialogs({});
        window.openFiles({gif});
        other = path("other.zpj");
        if (!saveProject(doc.document, other.toStdString()))
            qFatal("cannot write the test project");
        window.openFiles({gif});
        prompter.dialogs = 0;
    }
    QString path(const QString& name) const { return doc.dir.path() + "/" + name; }
    bool modified() const { return doc.model.history().modified(); }
    int frames() const { return doc.model.frameCount(); }
    void trigger(int command, const QStringList& files)
    {
        prompter.dialogScript = fileDialogs(files);
        window.action(command)->trigger();
    }
    void edit(uint16_t delay) { doc.model.setAttribute({0}, FrameAttribute::Delay, delay); }
    QString title() const { return window.windowHandle()->title(); }
    // The frames a project file holds; -1 when it cannot be read.
    int framesIn(const QString& project) const
    {
        TestDocument check;
        return openProject(check.document, project.toStdString()) ? check.document.frames.count() : -1;
    }

    QString other;
};

} // namespace

class SaveQuestionTest : public QObject {
    Q_OBJECT

private slots:
    void projectOpenAsksFirstAndGoesOnOnlyAfterASaveOrDiscard()
    {
        QuestionFixture f;
        QVERIFY(f.modified());
        // Cancel (or closing the box) changes nothing: no open dialog either.
        f.prompter.answers = {kIdCancel};
        f.trigger(Text::OpenProjectCommand, {f.other});
        QCOMPARE(f.prompter.texts, QStringList({loadText(Text::SaveChangesQuestion)}));
        QVERIFY(f.prompter.dialogs == 0 && f.frames() == 2 && f.modified() && f.doc.model.history().canUndo());

        // A save that fails, or whose dialog is cancelled, stops the open.
        f.prompter.answers = {kIdYes, kIdOk};
        f.trigger(Text::OpenProjectCommand, {f.path("missing/x.zpj"), f.other});
        QVERIFY(f.prompter.dialogs == 1 && f.prompter.texts.last().startsWith(loadText(Text::OperationFailed)));
        f.prompter.answers = {kIdYes};
        f.trigger(Text::OpenProjectCommand, {QString(), f.other});
        QVERIFY(f.prompter.dialogs == 2 && f.frames() == 2 && f.modified());

        // Save: without a project file yet, its dialog asks where; then the
        // chosen project opens.
        const QString saved = f.path("saved.zpj");
        f.prompter.answers = {kIdYes};
        f.trigger(Text::OpenProjectCommand, {saved, f.other});
        QVERIFY(f.framesIn(saved) == 2 && f.frames() == 1 && !f.modified());

        // Discard: the edit is gone and nothing was written.
        f.edit(77);
        const QByteArray before = fileBytes(saved);
        f.prompter.answers = {kIdNo};
        f.trigger(Text::OpenProjectCommand, {saved});
        QVERIFY(fileBytes(saved) == before && f.frames() == 2 && f.doc.model.frameAt(0)->delay == 0);

        // Unchanged, nothing is asked.
        const qsizetype asked = f.prompter.texts.size();
        f.trigger(Text::OpenProjectCommand, {f.other});
        QVERIFY(f.prompter.texts.size() == asked && f.frames() == 1 && f.prompter.unexpected == 0);
    }

    void exitAsksToSaveInsteadOfTheExitQuestion()
    {
        QuestionFixture f;
        QSignalSpy closed(&f.window, &MainWindow::closed);
        // The close box and Esc: Cancel keeps the window, asked once each.
        f.prompter.answers = {kIdCancel, kIdCancel};
        QVERIFY(!f.window.close());
        QTest::keyClick(&f.window, Qt::Key_Escape);
        QVERIFY(f.window.isVisible());
        QCOMPARE(f.prompter.texts, QStringList(2, loadText(Text::SaveChangesQuestion)));

        // With a project file, Save writes it without asking for a name; a
        // write that fails keeps the window open.
        QVERIFY(QDir(f.doc.dir.path()).mkdir("sub"));
        const QString project = f.path("sub/p.zpj");
        f.trigger(Text::SaveProjectCommand, {project});
        f.edit(42);
        QVERIFY(QDir(f.path("sub")).removeRecursively());
        f.prompter.dialogs = 0;
        f.prompter.answers = {kIdYes, kIdOk};
        QVERIFY(!f.window.close() && closed.isEmpty());
        QVERIFY(f.prompter.texts.last().startsWith(loadText(Text::OperationFailed)));

        QVERIFY(QDir(f.doc.dir.path()).mkdir("sub"));
        f.prompter.answers = {kIdYes};
        QVERIFY(f.window.close() && f.prompter.dialogs == 0 && closed.size() == 1);
        TestDocument check;
        QVERIFY(openProject(check.document, project.toStdString()) && check.document.frames.frameAt(0)->delay == 42);
        QVERIFY(!f.prompter.texts.contains(loadText(Text::ConfirmQuit)) && f.prompter.unexpected == 0);
    }

    void aDroppedProjectAsksFirstAndWhatFollowsItIsOneStep()
    {
        QuestionFixture f;
        // Dropped or named on the command line, a project replaces the
        // document as the open command does.
        f.prompter.answers = {kIdCancel};
        f.window.openFiles({f.other});
        QVERIFY(f.frames() == 2 && f.modified());
        // The project clears the history; the files dropped after it (in
        // name order) are one step on top of it.
        for (const char* name : {"p.gif", "q.gif"})
            QVERIFY(QFile::copy(f.path("in.gif"), f.path(name)));
        f.prompter.answers = {kIdNo};
        f.window.openFiles({f.path("q.gif"), f.other, f.path("p.gif")});
        QCOMPARE(f.frames(), 3);
        QVERIFY(f.doc.model.undo() && f.frames() == 1);
        QVERIFY(!f.modified() && !f.doc.model.history().canUndo() && f.prompter.unexpected == 0);
    }

    // The title marks changes since the last save, a GIF's included: the
    // work is as safe in one as in a project.
    void titleNamesTheProjectAndMarksChangesSinceTheLastSave()
    {
        QuestionFixture f;
        f.prompter.answers = {kIdNo};
        f.trigger(Text::OpenProjectCommand, {f.other});
        f.edit(9);
        QCOMPARE(f.title(), QStringLiteral("*other.zpj - zell"));
        f.doc.model.undo();
        QCOMPARE(f.title(), QStringLiteral("other.zpj - zell"));
        f.edit(3);
        f.trigger(Text::SaveGifCommand, {f.path("out.gif")});
        QVERIFY(QFile::exists(f.path("out.gif")) && f.prompter.unexpected == 0);
        QCOMPARE(f.title(), QStringLiteral("other.zpj - zell"));
    }
};

ZELL_UI_TEST(SaveQuestionTest);

} // namespace zell::test

#include "save_question_test.moc"
