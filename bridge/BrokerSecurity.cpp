#include "bridge/BrokerSecurity.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <utility>

namespace {

// MQTT carries a password of up to 65535 bytes.
constexpr size_t PASSWORD_LIMIT = 65535;
constexpr size_t LIBRARY_TEXT_LIMIT = 300;

// What libmosquitto said last on this thread at error level: its only account of a TLS failure
// (OpenSSL's reason). It reports on the thread that connects, which is the one that asks why.
thread_local std::string libraryTold;

void KeepLibraryError(mosquitto*, void*, int level, const char* text) {
    if ((level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING)) == 0 || !libraryTold.empty()) return;
    libraryTold.assign(text, strnlen(text, LIBRARY_TEXT_LIMIT));
}

// An encrypted key is refused instead of OpenSSL asking for its pass phrase on a terminal that a
// service does not have.
int NoKeyPassphrase(char*, int, int, void*) {
    return 0;
}

// OpenSSL's reasons, as the operator can act on them.
struct TlsCause {
    const char* reason;
    const char* meaning;
};
constexpr TlsCause TLS_CAUSES[] = {
    {"certificate verify failed",
     "the broker's certificate is not signed by the authority of ca_file, has expired, or is not "
     "issued for the host name"},
    {"certificate required", "the broker asks for a client certificate (cert_file, key_file)"},
    {"unknown ca", "the broker does not know the authority that signed cert_file"},
    {"bad certificate", "the broker refused the client certificate"},
    {"certificate unknown", "the broker refused the client certificate"},
    {"certificate expired", "the broker refused the client certificate as expired"},
    {"wrong version number", "the broker's port does not speak TLS"},
};

// "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed" -> its reason.
std::string ReasonOf(const std::string& told) {
    if (told.rfind("OpenSSL Error", 0) != 0) return told;
    const size_t colons = told.rfind("::");
    return colons == std::string::npos ? told : told.substr(colons + 2);
}

std::string TlsText(const std::string& told) {
    const std::string reason = ReasonOf(told);
    for (const TlsCause& cause : TLS_CAUSES)
        if (reason.find(cause.reason) != std::string::npos)
            return std::string("TLS: ") + cause.meaning + " (" + reason + ")";
    return "TLS: " + reason;
}

}  // namespace

bool Readable(const std::string& path, std::string& fault) {
    std::ifstream file(path);
    if (file) return true;
    fault = "cannot read " + path + ": " + std::strerror(errno);
    return false;
}

bool ReadPassword(const std::string& path, std::string& password, std::string& fault) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        fault = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string line;
    // Bounded: a file that is not a password file is not read whole.
    char c = 0;
    while (line.size() <= PASSWORD_LIMIT && file.get(c) && c != '\n')
        line.push_back(c);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
        fault = path + " holds no password on its first line";
        return false;
    }
    if (line.size() > PASSWORD_LIMIT) {
        fault = path + ": the password is longer than 65535 bytes";
        return false;
    }
    password = std::move(line);
    return true;
}

bool ApplyBrokerSecurity(mosquitto* client, const BrokerSecurity& security, std::string& error) {
    mosquitto_log_callback_set(client, &KeepLibraryError);
    if (security.Tls()) {
        const char* cert = security.certFile.empty() ? nullptr : security.certFile.c_str();
        const char* key = security.keyFile.empty() ? nullptr : security.keyFile.c_str();
        // A failure here would leave the client speaking plain MQTT: it ends the start instead.
        const int rc = mosquitto_tls_set(client, security.caFile.c_str(), nullptr, cert, key,
                                         &NoKeyPassphrase);
        if (rc != MOSQ_ERR_SUCCESS) {
            error =
                std::string("broker TLS (ca_file, cert_file, key_file): ") + mosquitto_strerror(rc);
            return false;
        }
    }
    if (!security.username.empty()) {
        const char* password = security.passwordFile.empty() ? nullptr : security.password.c_str();
        const int rc = mosquitto_username_pw_set(client, security.username.c_str(), password);
        if (rc != MOSQ_ERR_SUCCESS) {
            error = std::string("broker username: ") + mosquitto_strerror(rc);
            return false;
        }
    }
    return true;
}

void BeginConnectAttempt() {
    libraryTold.clear();
}

std::string ConnectFailureText(int rc, int error) {
    const std::string told = std::exchange(libraryTold, {});
    if (!told.empty()) return TlsText(told);
    if (rc == MOSQ_ERR_TLS) return "TLS: the handshake failed";
    if (rc == MOSQ_ERR_ERRNO) return std::strerror(error);
    return mosquitto_strerror(rc);
}

std::string RefusalText(int reason) {
    std::string text = std::string("refused the connection: ") + mosquitto_reason_string(reason);
    if (reason == MQTT_RC_BAD_USERNAME_OR_PASSWORD || reason == MQTT_RC_NOT_AUTHORIZED)
        text +=
            " (check broker.username, the password in broker.password_file, or the client "
            "certificate)";
    return text;
}
