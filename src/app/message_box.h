// Message boxes and modal dialogs go through one replaceable interface, so
// that tests answer them by script and nothing ever blocks.
#pragma once

#include <QString>

#include <functional>

#include "app/text_ids.h"

class QDialog;
class QWidget;

namespace zell {

// SaveDiscardCancel answers kIdYes (save), kIdNo (discard) or kIdCancel,
// which closing the box also gives.
enum class MessageStyle { OkInfo, OkStop, OkExclamation, OkPlain, YesNoInfo, SaveDiscardCancel };

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

class Prompter {
public:
    virtual ~Prompter() = default;
    // Returns the button pressed (kIdOk, kIdYes, kIdNo, ...).
    virtual int message(QWidget* owner, const QString& text, const QString& caption, MessageStyle style) = 0;
    // Runs a modal dialog; returns its QDialog result.
    virtual int runDialog(QDialog& dialog) = 0;
};

// The Qt message boxes and QDialog::exec.
Prompter& prompter();
// Null puts the Qt prompter back. The caller keeps ownership.
void setPrompter(Prompter* replacement);

// Texts through loadText; no owner means the active window.
int showMessage(QWidget* owner, int textId, int captionId, MessageStyle style);
int showPlainMessage(QWidget* owner, const QString& text, const QString& caption, MessageStyle style);

} // namespace zell
