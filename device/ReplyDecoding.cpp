#include "device/ReplyDecoding.h"

#include <cstdlib>
#include <cstring>

#include "device/CommandEncoding.h"
#include "device/ModelCatalogue.h"

namespace {

constexpr char GATEWAY_NOTICE[] = "00gq";
constexpr int32_t GATEWAY_NOTICE_LENGTH = 5;  // prefix, status, end byte

}  // namespace

Identification IdentificationOf(const unsigned char* reply, int32_t length) {
    const int32_t modelCode = int32_t{reply[3]} - PARAM_BASE;
    // The sub-code means something for the extension family only, and only when it was sent.
    int32_t subCode = 0;
    if (modelCode == EXTENSION_FAMILY_CODE && length == MD_MAX_LENGTH) {
        subCode = int32_t{reply[4]} - PARAM_BASE;
    }
    return {ID_BASE - int32_t{reply[2]}, modelCode, subCode};
}

CountReading CountReadingOf(const unsigned char* reply) {
    char digits[COUNT_DIGITS + 1] = {};
    std::memcpy(digits, reply + 3, COUNT_DIGITS);
    const unsigned long value = std::strtoul(digits, nullptr, 16);
    return {int32_t{reply[2]} - PARAM_BASE, static_cast<int32_t>(static_cast<uint32_t>(value))};
}

bool IsGatewayNotice(const unsigned char* frame, int32_t length) {
    return length >= GATEWAY_NOTICE_LENGTH &&
           std::memcmp(frame, GATEWAY_NOTICE, sizeof GATEWAY_NOTICE - 1) == 0;
}

int32_t GatewayStatusOf(const unsigned char* frame) {
    return int32_t{frame[4]} - PARAM_BASE;
}
