#pragma once

#include <QEvent>
#include <cstdint>

#include "link/ReplyTarget.h"

// WM_COUNT_UPDATE as posted to the dialog: the input index whose count was stored, and the count.
class CountUpdateEvent : public QEvent {
public:
    static constexpr QEvent::Type TYPE = static_cast<QEvent::Type>(WM_COUNT_UPDATE);

    explicit CountUpdateEvent(int32_t index, int32_t value = 0)
        : QEvent(TYPE), index_(index), value_(value) {}
    int32_t Index() const { return index_; }
    int32_t Value() const { return value_; }

private:
    int32_t index_;
    int32_t value_;
};
