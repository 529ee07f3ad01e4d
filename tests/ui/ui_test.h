// The UI tests: each test class registers itself and one main runs them all
// on the offscreen platform. Message boxes and dialogs are answered by script.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QItemSelectionModel>
#include <QTest>

#include "app/message_box.h"
#include "app/profile.h"
#include "ui/animation_panel.h"
#include "ui/frame_list_model.h"
#include "ui/frame_list_view.h"
#include "ui/main_window.h"
#include "ui/number_edit.h"
#include "ui/property_panel.h"
#include "ui/test_document.h"

namespace zell::test {

using TestFactory = std::function<QObject*()>;
std::vector<TestFactory>& testRegistry();

struct RegisterTest {
    explicit RegisterTest(TestFactory factory) { testRegistry().push_back(std::move(factory)); }
};

#define ZELL_UI_TEST(Class) \
    static ::zell::test::RegisterTest registerTest##Class([] { return static_cast<QObject*>(new Class); })

// Answers the dialogs in turn: a file dialog with the next path, or with
// Cancel when none is left or it is empty; any other dialog (the load
// dialog, say) is accepted as it is.
std::function<int(QDialog&)> fileDialogs(QStringList paths);
// Accepts any dialog as it is.
inline int acceptDialog(QDialog&) { return QDialog::Accepted; }
QByteArray fileBytes(const QString& path);

// Answers message boxes from a queue and records every one shown; a message
// nobody expected is answered No and counted.
class ScriptedPrompter final : public Prompter {
public:
    ScriptedPrompter() { setPrompter(this); }
    ~ScriptedPrompter() override { setPrompter(nullptr); }

    int message(QWidget*, const QString& text, const QString&, MessageStyle) override
    {
        texts << text;
        if (answers.empty())
            return ++unexpected, kIdNo;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    int runDialog(QDialog& dialog) override { return ++dialogs, dialogScript ? dialogScript(dialog) : 0; }

    std::deque<int> answers;
    QStringList texts;
    int unexpected = 0;
    int dialogs = 0;
    std::function<int(QDialog&)> dialogScript;
};

// The main window, shown and active, over a document of `frames` numbered
// frames without work files, with a profile of its own and scripted answers.
struct WindowFixture {
    explicit WindowFixture(int frames, const std::string& library = "/nonexistent/pelio.txt")
        : doc(frames, false), profile((doc.dir.path() + "/zell.ini").toStdString()),
          window(doc.model, profile, library)
    {
        window.show();
        QApplication::setActiveWindow(&window);
    }
    PropertyPanel& panel() { return *window.propertyPanel(); }
    AnimationPanel& animation() { return *window.animationPanel(); }
    FrameListView& list() { return *window.frameList(); }
    Frame& frame(int i) { return *doc.document.frames.frameAt(i); }
    void alsoSelect(int row)
    {
        list().selectionModel()->select(doc.model.listModel().index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void typeInto(NumberEdit* edit, const char* text)
    {
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    // The frames added to the document since are announced, as one state
    // that undo starts from.
    void announce()
    {
        doc.model.rebuild([](Document&) {});
        doc.model.clearHistory();
    }

    TestDocument doc;
    Profile profile;
    ScriptedPrompter prompter;
    MainWindow window;
};

} // namespace zell::test
