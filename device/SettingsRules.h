#pragma once

#include <cstdint>

#include "device/PulseConfig.h"

// Verdict of the encoder-input checks on settings about to be written.
enum class EncoderVerdict {
    Accepted,
    FirstPairSplit,    // refused: DI1 and DI2 count only together
    SecondPairSplit,   // refused: DI4 and DI5 count only together
    ZPhaseWithoutDi3,  // a warning only: the settings may still be written
};

// The checks of the two-phase modes, in the order an operator meets them; single-phase settings
// and counting off are always accepted.
EncoderVerdict CheckEncoderInputs(const PulseConfig& wanted, int32_t inputCount);
// Whether the verdict stops the write before anything is sent.
bool RefusesWrite(EncoderVerdict verdict);
// The operator's message of a verdict; empty for Accepted.
const char* EncoderVerdictText(EncoderVerdict verdict);

// What the unit holds once `written` has been accepted: the settings of the first `inputCount`
// inputs, counting on exactly when a fixed period was chosen; the counts and the edges of inputs
// the unit does not have keep their values.
void TakeWrittenSettings(PulseConfig& held, const PulseConfig& written, int32_t inputCount);
