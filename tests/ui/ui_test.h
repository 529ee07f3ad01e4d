// The UI tests: each test class registers itself and one main runs them all
// on the offscreen platform. Message boxes and dialogs are answered by script.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <vector>

#include "app/message_box.h"

class QDialog;

namespace zell {
class Document;
}

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
QByteArray fileBytes(const QString& path);
// Every frame's fields with its work file's bytes, and the global table:
// what an operation and its undo must bring back.
QStringList documentState(const Document& document);

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

} // namespace zell::test
