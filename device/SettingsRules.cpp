#include "device/SettingsRules.h"

#include "device/OperatorTexts.h"

namespace {

// Exactly one input of the pair is counted.
bool Split(int32_t a, int32_t b) {
    return (a != 0) != (b != 0);
}

}  // namespace

EncoderVerdict CheckEncoderInputs(const PulseConfig& wanted, int32_t inputCount) {
    if (wanted.mode != MODE_TWO_PHASE_X2 && wanted.mode != MODE_TWO_PHASE_X4)
        return EncoderVerdict::Accepted;
    if (Split(wanted.edge[0], wanted.edge[1])) return EncoderVerdict::FirstPairSplit;
    if (inputCount == MAX_INPUTS && Split(wanted.edge[3], wanted.edge[4]))
        return EncoderVerdict::SecondPairSplit;
    if (inputCount >= 3 && wanted.clearSignal == 1 && wanted.edge[2] == 0)
        return EncoderVerdict::ZPhaseWithoutDi3;
    return EncoderVerdict::Accepted;
}

bool RefusesWrite(EncoderVerdict verdict) {
    return verdict == EncoderVerdict::FirstPairSplit || verdict == EncoderVerdict::SecondPairSplit;
}

const char* EncoderVerdictText(EncoderVerdict verdict) {
    switch (verdict) {
        case EncoderVerdict::FirstPairSplit:
            return FIRST_PAIR_MESSAGE;
        case EncoderVerdict::SecondPairSplit:
            return SECOND_PAIR_MESSAGE;
        case EncoderVerdict::ZPhaseWithoutDi3:
            return Z_PHASE_MESSAGE;
        case EncoderVerdict::Accepted:
            break;
    }
    return "";
}

void TakeWrittenSettings(PulseConfig& held, const PulseConfig& written, int32_t inputCount) {
    held.countingOn = written.period != 0 ? 1 : 0;
    held.mode = written.mode;
    held.clearSignal = written.clearSignal;
    for (int32_t i = 0; i < inputCount && i < MAX_INPUTS; ++i)
        held.edge[i] = written.edge[i];
    held.period = written.period;
    held.debounce = written.debounce;
}
