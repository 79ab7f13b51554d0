#include "unit/WriteChecks.h"

#include <algorithm>

#include "device/SettingsRules.h"

namespace {

// The last input the write names: DI1 to DI5, 0 for none.
int32_t LastNamedInput(const SettingsWrite& write) {
    int32_t named = write.copy ? write.copy->inputs : 0;
    for (int32_t i = 0; i < MAX_INPUTS; ++i)
        if (write.change.edge[i]) named = std::max(named, i + 1);
    return named;
}

}  // namespace

bool RefusesWrite(WriteCheck check) {
    return check != WriteCheck::Passed && check != WriteCheck::Forced;
}

CheckedWrite CheckWrite(const SettingsWrite& write, const HeldSettings& held) {
    const int32_t n = held.inputCount;
    const int32_t named = LastNamedInput(write);
    if (named > n)
        return {WriteCheck::MissingInput,
                "DI" + std::to_string(named) + " is named, but the unit has " + std::to_string(n) +
                    " pulse inputs",
                {}};
    const PulseConfig wanted = write.copy ? CopiedSettings(held.config, *write.copy)
                                          : ChangedSettings(held.config, write.change);
    const EncoderVerdict verdict = CheckEncoderInputs(wanted, n);
    CheckedWrite checked;
    checked.text = EncoderVerdictText(verdict);
    if (RefusesWrite(verdict)) {
        checked.check = WriteCheck::PairSplit;
        return checked;
    }
    if (verdict == EncoderVerdict::ZPhaseWithoutDi3) {
        checked.check = write.force ? WriteCheck::Forced : WriteCheck::ForceNeeded;
        if (!write.force) return checked;
    }
    checked.frames = write.copy ? PlanCopy(*write.copy, held.config, n, write.change)
                                : PlanChange(wanted, n, write.change, held.flags);
    return checked;
}
