#pragma once

#include <string>

struct mosquitto;

// How the bridge proves the broker is the plant's (TLS against a CA) and who it is itself (a
// user name and password, or a client certificate). The password comes from a file only.
struct BrokerSecurity {
    std::string caFile;  // TLS when set
    std::string certFile;
    std::string keyFile;
    std::string username;
    std::string passwordFile;
    std::string password;  // the file's first line; never logged

    bool Tls() const { return !caFile.empty(); }
};

// Whether `path` can be opened for reading; otherwise `fault` says why ("cannot read PATH: ...").
bool Readable(const std::string& path, std::string& fault);
// The first line of `path` without its line end. False with the reason when the file cannot be
// read, holds no password there, or one longer than MQTT carries.
bool ReadPassword(const std::string& path, std::string& password, std::string& fault);

// Sets TLS and the login on a client before it connects; false with the reason.
bool ApplyBrokerSecurity(mosquitto* client, const BrokerSecurity& security, std::string& error);

// Forgets what the library said before a connection attempt on this thread begins.
void BeginConnectAttempt();
// Why a connection attempt on this thread failed, in words: `rc` and `error` (errno) of the
// failing libmosquitto call, with what the library said about TLS meanwhile. Clears that.
std::string ConnectFailureText(int rc, int error);
// Why the broker refused the connection (a CONNACK reason of 128 and above).
std::string RefusalText(int reason);
