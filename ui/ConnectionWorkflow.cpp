#include "ui/VelkorDlg.h"

// ConnectButton: connect, abort the connection attempt, or disconnect, by ConnState.
void CVelkorDlg::OnConnectButton() {}
