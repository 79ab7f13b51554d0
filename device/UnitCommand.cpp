#include "device/UnitCommand.h"

#include "device/CommandEncoding.h"

namespace {

UnitCommand WithParameters(CommandId id, unsigned char first = 0, unsigned char second = 0,
                           unsigned char third = 0) {
    return {id, {first, second, third}};
}

}  // namespace

UnitCommand IdentifyCommand() {
    return WithParameters(CommandId::Identify);
}

UnitCommand ReadSettingsCommand() {
    return WithParameters(CommandId::ReadSettings);
}

UnitCommand ReadEdgeCommand(int32_t index) {
    return WithParameters(CommandId::ReadEdge, ParamChar(index));
}

UnitCommand ReadStateCommand() {
    return WithParameters(CommandId::ReadState);
}

UnitCommand ReadCountCommand(int32_t index) {
    return WithParameters(CommandId::ReadCount, ParamChar(index));
}

UnitCommand SetEdgeCommand(int32_t index, unsigned char edge) {
    return WithParameters(CommandId::SetEdge, ParamChar(index), edge);
}

UnitCommand SetSettingsCommand(unsigned char mode, unsigned char period, unsigned char debounce) {
    return WithParameters(CommandId::SetSettings, mode, period, debounce);
}

UnitCommand StartStopCommand(bool start) {
    return WithParameters(CommandId::StartStop, StartStopCharacter(start));
}

CommandFrame FrameOf(int32_t node, const UnitCommand& command) {
    constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
    const CommandSpec& spec = command.Spec();
    CommandFrame frame;
    auto out = frame.bytes.begin();
    *out++ = static_cast<unsigned char>(HEX_DIGITS[(node >> 4) & 0x0F]);
    *out++ = static_cast<unsigned char>(HEX_DIGITS[node & 0x0F]);
    *out++ = static_cast<unsigned char>(spec.letters[0]);
    *out++ = static_cast<unsigned char>(spec.letters[1]);
    for (int32_t i = 0; i < spec.parameters; ++i)
        *out++ = command.parameters[static_cast<size_t>(i)];
    *out++ = FRAME_END;
    frame.length = static_cast<size_t>(out - frame.bytes.begin());
    return frame;
}
