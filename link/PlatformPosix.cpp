#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "link/LinkPlatform.h"

#include <netdb.h>

#include <cstring>

void RaiseReceivePriority() {
    // An unprivileged process may be refused a negative nice value.
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), -5);
}

// Sockets need no start on these systems.
int32_t StartSocketLibrary() {
    return 0;
}

std::string SystemErrorReason(int32_t code) {
    return code < 0 ? gai_strerror(code) : std::strerror(code);
}
