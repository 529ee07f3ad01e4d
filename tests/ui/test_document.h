// A document of numbered frames in a work directory of its own, for the UI
// tests. Frame i is named "f<i>"; its work file holds the name's bytes.
#pragma once

#include <QStringList>
#include <QTemporaryDir>

#include <fstream>
#include <memory>

#include "document/document.h"
#include "document/work_directory.h"
#include "ui/document_model.h"

namespace zell::test {

class TestDocument {
public:
    explicit TestDocument(int frames = 0, bool workFiles = true)
        : work(dir.path().toStdString()), document(work), model(document)
    {
        for (int i = 0; i < frames; ++i)
            add(workFiles);
        model.clearHistory(); // the frames are where undo starts
    }

    Frame& add(bool workFile = true)
    {
        auto frame = std::make_unique<Frame>();
        const int i = document.frames.count();
        frame->name = "f" + std::to_string(i);
        frame->width = uint32_t(10 + i);
        frame->height = uint32_t(20 + i);
        frame->delay = uint16_t(i);
        if (workFile && work.newWorkFileName("gif", frame->workFile))
            std::ofstream(frame->workFile.path()) << frame->name;
        Frame& ref = *frame;
        document.frames.insert(i, frame);
        return ref;
    }

    QStringList names() const
    {
        QStringList out;
        for (int i = 0; i < document.frames.count(); ++i)
            out << QString::fromStdString(document.frames.frameAt(i)->name);
        return out;
    }

    QTemporaryDir dir;
    WorkDirectory work;
    Document document;
    DocumentModel model;
};

inline QStringList frameNames(std::initializer_list<int> order)
{
    QStringList out;
    for (int i : order)
        out << QStringLiteral("f%1").arg(i);
    return out;
}

} // namespace zell::test
