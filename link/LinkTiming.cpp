#include "link/LinkTiming.h"

LinkTiming& TheLinkTiming() {
    static LinkTiming timing;
    return timing;
}
