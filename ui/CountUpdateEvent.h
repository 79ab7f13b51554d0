#pragma once

#include <QEvent>
#include <cstdint>

#include "link/ReplyTarget.h"

// WM_COUNT_UPDATE as posted to the dialog: the input index whose count was stored.
class CountUpdateEvent : public QEvent {
public:
    static constexpr QEvent::Type TYPE = static_cast<QEvent::Type>(WM_COUNT_UPDATE);

    explicit CountUpdateEvent(int32_t index) : QEvent(TYPE), index_(index) {}
    int32_t Index() const { return index_; }

private:
    int32_t index_;
};
