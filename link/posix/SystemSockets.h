#pragma once

// getaddrinfo and addrinfo.
#include <netdb.h>
