#include "link/LinkSeams.h"

LinkSeams& TheLinkSeams() {
    static LinkSeams seams;
    return seams;
}

int32_t AtStep(LinkStep step) {
    int32_t (*hook)(LinkStep) = TheLinkSeams().hook.load();
    return hook == nullptr ? 0 : hook(step);
}
