// The shared test document with the model the windows use, in a folder the
// tests also write their own files into.
#pragma once

#include <QStringList>
#include <QTemporaryDir>

#include "support/test_document.h"
#include "ui/document_model.h"

namespace zell::test {

struct TemporaryFolder {
    QTemporaryDir dir;
};

// Frame i is named "f<i>"; its work file holds the name's bytes.
class TestDocument : public TemporaryFolder, public DocumentBuilder {
public:
    explicit TestDocument(int frames = 0, bool workFiles = true)
        : DocumentBuilder(dir.path().toStdString()), model(document)
    {
        for (int i = 0; i < frames; ++i)
            add(workFiles);
        model.clearHistory(); // the frames are where undo starts
    }

    using DocumentBuilder::add;
    Frame& add(bool workFile = true) { return addNumbered(workFile); }

    QStringList names() const
    {
        QStringList out;
        for (int i = 0; i < document.frames.count(); ++i)
            out << QString::fromStdString(document.frames.frameAt(i)->name);
        return out;
    }

    DocumentModel model;
};

// What undo must bring back: every frame, its file and the tables. The
// folder keeps the undone step's files for redo.
inline DocumentState restorable(const Document& d)
{
    DocumentState s = snapshot(d);
    s.directory.clear();
    return s;
}

inline QStringList frameNames(std::initializer_list<int> order)
{
    QStringList out;
    for (int i : order)
        out << QStringLiteral("f%1").arg(i);
    return out;
}

} // namespace zell::test
