// The whole edit cycle through the real windows: open, edit, save the GIF,
// save the project, reopen it and save it again.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QTest>

#include "app/profile.h"
#include "app/text_ids.h"
#include "ui/file_commands.h"
#include "ui/frame_list_view.h"
#include "ui/main_window.h"
#include "ui/number_edit.h"
#include "ui/palette_window.h"
#include "ui/property_panel.h"
#include "ui/test_document.h"
#include "ui/ui_test.h"

#ifdef ZELL_HAVE_GIFLIB
#include <gif_lib.h>
#endif

namespace zell::test {

namespace {

std::function<int(QDialog&)> choosing(const QStringList& paths)
{
    return [paths](QDialog& dialog) {
        if (auto* host = dynamic_cast<FileDialogHost*>(&dialog))
            host->choose(paths);
        else if (auto* files = dynamic_cast<QFileDialog*>(&dialog))
            files->selectFile(paths.value(0));
        else
            return int(QDialog::Rejected);
        return int(QDialog::Accepted);
    };
}

QByteArray readAll(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void editSaveReopenAndSaveAgain()
    {
#ifndef ZELL_HAVE_GIFLIB
        QSKIP("giflib is the oracle here");
#else
        const QString corpus = QStringLiteral(ZELL_CORPUS_DIR "/gif/");
        const QString animation = corpus + "gif-test-suite/animated_loop.gif";
        const QString still = corpus + "giflib/treescap.gif";
        if (!QFile::exists(animation) || !QFile::exists(still))
            QSKIP("the corpus is not beside the sources");

        TestDocument doc(0, false);
        Profile profile((doc.dir.path() + "/zell.ini").toStdString());
        ScriptedPrompter prompter;
        MainWindow window(doc.model, profile, "/nonexistent/pelio.txt");
        window.show();

        prompter.dialogScript = choosing({animation, still});
        window.action(Text::OpenImagesCommand)->trigger();
        const int frames = doc.model.frameCount();
        QVERIFY(frames >= 3);
        QCOMPARE(prompter.texts, QStringList());

        // The second frame gets a typed delay and a transparent colour picked
        // in the palette window.
        window.frameList()->select(1);
        NumberEdit* delay = window.propertyPanel()->delayEdit();
        delay->selectAll();
        QTest::keyClicks(delay, "123");
        QCOMPARE(doc.model.frameAt(1)->delay, 123);
        PaletteWindow* palette = window.palette();
        palette->setMode(PaletteWindow::kPickTransparent);
        QCOMPARE(palette->mode(), int(PaletteWindow::kPickTransparent));
        palette->clickCell(1);
        QCOMPARE(doc.model.frameAt(1)->transparentIndex, 1);

        const QString gif = doc.dir.path() + "/out.gif";
        const QString first = doc.dir.path() + "/first.zpj";
        const QString second = doc.dir.path() + "/second.zpj";
        prompter.dialogScript = choosing({gif});
        window.action(Text::SaveGifCommand)->trigger();
        prompter.dialogScript = choosing({first});
        window.action(Text::SaveProjectCommand)->trigger();
        window.action(Text::OpenProjectCommand)->trigger();
        QCOMPARE(doc.model.frameCount(), frames);
        QCOMPARE(doc.model.frameAt(1)->delay, 123);
        prompter.dialogScript = choosing({second});
        window.action(Text::SaveProjectCommand)->trigger();
        QCOMPARE(prompter.texts, QStringList());

        const QByteArray saved = readAll(first);
        QVERIFY(!saved.isEmpty());
        QCOMPARE(readAll(second), saved);

        int error = 0;
        GifFileType* read = DGifOpenFileName(gif.toLocal8Bit().constData(), &error);
        QVERIFY(read);
        const int slurped = DGifSlurp(read);
        const int images = read->ImageCount;
        GraphicsControlBlock control{};
        const int found = images > 1 ? DGifSavedExtensionToGCB(read, 1, &control) : GIF_ERROR;
        DGifCloseFile(read, &error);
        QCOMPARE(slurped, GIF_OK);
        QCOMPARE(images, frames);
        QCOMPARE(found, GIF_OK);
        QCOMPARE(control.DelayTime, 123);
        QCOMPARE(control.TransparentColor, 1);
        window.close();
#endif
    }
};

ZELL_UI_TEST(EndToEndTest);

} // namespace zell::test

#include "end_to_end_test.moc"
