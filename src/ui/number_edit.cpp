#include "ui/number_edit.h"

#include <QSignalBlocker>

#include <algorithm>

namespace zell {

NumberEdit::NumberEdit(QWidget* parent) : QSpinBox(parent)
{
    setRange(0, 99999);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setAccelerated(true);
    setKeyboardTracking(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

void NumberEdit::stepBy(int steps)
{
    setValue(std::clamp(value() + steps, 0, kMax));
}

void NumberEdit::setQuietly(int value)
{
    const QSignalBlocker blocker(this);
    setValue(value);
}

} // namespace zell
