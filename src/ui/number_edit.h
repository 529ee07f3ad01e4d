// A digits-only, right-aligned field of at most five digits with up-down
// arrows over 0-65535. Values typed above 65535 reach the handler, which
// replaces them, so the field can show the clamp instead of refusing the
// keystroke.
#pragma once

#include <QSpinBox>

namespace zell {

class NumberEdit final : public QSpinBox {
    Q_OBJECT
public:
    static constexpr int kMax = 65535;

    explicit NumberEdit(QWidget* parent = nullptr);
    void stepBy(int steps) override;
    // Sets the value without running the change handlers.
    void setQuietly(int value);
};

} // namespace zell
