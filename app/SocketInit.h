#pragma once

// Prepares the process for socket use before any window exists: a peer that closes a TCP
// connection must not end the program through SIGPIPE while a frame is written. False when the
// system refuses.
bool InitialiseSockets();
