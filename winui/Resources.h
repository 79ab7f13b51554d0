#pragma once

// Numbers of the window program's resources, shared by the resource script and the code.
#define IDI_APP_ICON 128
#define IDS_SOCKET_INIT_FAILED 103
