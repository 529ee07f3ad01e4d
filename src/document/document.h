// The one editing state: whole-animation settings with the global colour
// table, and the frames. The GUI shows it, the CLI drives it, every import,
// export, operation and project file works on it.
#pragma once

#include "document/frame_list.h"
#include "document/gif_settings.h"
#include "document/work_directory.h"

namespace zell {

class Document {
public:
    explicit Document(WorkDirectory& workDirectory = WorkDirectory::process()) : workDirectory_(&workDirectory) {}
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    GifSettings settings;
    FrameList frames;
    // The frame the user works on; -1 when there is none.
    int currentIndex = -1;

    WorkDirectory& workDirectory() const { return *workDirectory_; }

    // Takes a table as the animation's global table and turns its use on.
    void takeGlobalTable(const ColorTable& table)
    {
        settings.globalColorTable = table;
        settings.useGlobalColorTable = true;
    }

private:
    WorkDirectory* workDirectory_;
};

} // namespace zell
