#include "ui/spin_edit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

#include "base/integer.h"
#include "desktop/qt_text.h"

namespace kavrel {
namespace {

bool Allowed(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('+') ||
           c == QLatin1Char('-');
}

}  // namespace

TSpinEdit::TSpinEdit(std::int32_t minValue, std::int32_t maxValue, QWidget* parent)
    : QAbstractSpinBox(parent), min_(minValue), max_(maxValue) {
    SetValue(minValue);
}

std::int32_t TSpinEdit::Value() const {
    return TryStrToInt(FromQString(lineEdit()->text())).value_or(min_);
}

void TSpinEdit::SetValue(std::int64_t value) {
    const std::int64_t kept = std::clamp<std::int64_t>(value, min_, max_);
    lineEdit()->setText(QString::number(kept));
}

void TSpinEdit::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    const bool command =
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
    // Control characters (backspace, tab, return) pass; other characters must be digits or signs.
    const bool refused = !command && std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x20 && c.unicode() != 0x7F && !Allowed(c);
    });
    if (refused) {
        QApplication::beep();
        emit Refused();
        event->accept();
        return;
    }
    QAbstractSpinBox::keyPressEvent(event);
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
    // Only a move to another control of the same window brings a typed number into range;
    // switching to another window or opening a menu leaves it as typed.
    const Qt::FocusReason reason = event->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
        const std::int32_t value = Value();
        if (value < min_ || value > max_) SetValue(value);
    }
    QAbstractSpinBox::focusOutEvent(event);
}

void TSpinEdit::stepBy(int steps) { SetValue(std::int64_t{Value()} + steps); }

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const {
    const std::int32_t value = Value();
    StepEnabled enabled = StepNone;
    if (value != max_) enabled |= StepUpEnabled;
    if (value != min_) enabled |= StepDownEnabled;
    return enabled;
}

QValidator::State TSpinEdit::validate(QString& input, int&) const {
    // Pasted text follows the same rule as typed characters.
    return std::all_of(input.begin(), input.end(), Allowed) ? QValidator::Acceptable
                                                            : QValidator::Invalid;
}

}  // namespace kavrel
