#include "cli/UnitClient.h"

#include "cli/Interrupt.h"
#include "cli/SerialPortName.h"

namespace {

LinkRoute LinkRouteOf(const Route& route) {
    LinkRoute link;
    link.kind = route.kind;
    link.host = route.host;
    link.service = route.service;
    NameSerialPort(link, route.device);
    return link;
}

}  // namespace

UnitClient::UnitClient(const Route& route, int32_t replyWaitMs)
    : UnitLink(LinkRouteOf(route), replyWaitMs, InterruptAbort(), &Interrupted) {}
