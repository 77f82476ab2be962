#pragma once

#include <QAbstractSpinBox>
#include <cstdint>

// A whole-number box with up and down buttons. The text is free to hold a number outside the
// range while the user types; the buttons, the arrow keys and moving the focus to another
// control bring it back within MinValue to MaxValue.
namespace kavrel {

class TSpinEdit : public QAbstractSpinBox {
    Q_OBJECT

  public:
    TSpinEdit(std::int32_t minValue, std::int32_t maxValue, QWidget* parent = nullptr);

    std::int32_t MinValue() const { return min_; }
    std::int32_t MaxValue() const { return max_; }

    // The text read as an integer; MinValue when it is no number.
    std::int32_t Value() const;
    // Shown within MinValue to MaxValue.
    void SetValue(std::int64_t value);

  signals:
    // A typed character that is not a digit, "+" or "-" was turned away.
    void Refused();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void stepBy(int steps) override;
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString& input, int& pos) const override;

  private:
    std::int32_t min_;
    std::int32_t max_;
};

}  // namespace kavrel
