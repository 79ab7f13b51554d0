#include "dialog/UiTiming.h"

UiTiming& TheUiTiming() {
    static UiTiming timing;
    return timing;
}
