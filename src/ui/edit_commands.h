// The everyday edits as commands: each asks what its dialog needs, runs one
// engine edit through the DocumentModel (one undo step, with progress and
// Cancel) and tells why when it fails. Edits that work on frames take the
// list's selection when more than one row is selected, every frame
// otherwise: one selected row is only where the user stands.
#pragma once

#include <QList>
#include <QObject>

#include <functional>
#include <vector>

#include "image/picture_transform.h"
#include "operations/frame_edits.h"
#include "ui/edit_dialogs.h"

class QWidget;

namespace zell {

class DocumentModel;
class Document;
class Progress;

class EditCommands final : public QObject {
    Q_OBJECT
public:
    EditCommands(DocumentModel& document, QWidget* owner, std::function<QList<int>()> selectedRows);

    void reverse();
    void pingPong();
    void transform(PictureTransform transform);
    void thinOut();
    void speed();
    void resize();
    void crop();

signals:
    // The list selects this row alone.
    void selectRow(int row);
    // The crop dialog is about to be shown; the image view drags its
    // rectangle until it closes.
    void cropDialogShown(CropDialog* dialog);

private:
    // The selection as the engine takes it: empty for every frame.
    std::vector<int> chosenRows() const;
    bool run(int textId, const std::function<bool(Document&, EditResult&, Progress&)>& work);

    DocumentModel& document_;
    QWidget* owner_;
    std::function<QList<int>()> selectedRows_;
};

} // namespace zell
