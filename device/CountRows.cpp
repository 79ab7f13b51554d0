#include "device/CountRows.h"

#include "device/OperatorTexts.h"

namespace {

bool TwoPhase(int32_t mode) {
    return mode == MODE_TWO_PHASE_X2 || mode == MODE_TWO_PHASE_X4;
}

std::array<CountRow, MAX_INPUTS> SinglePhaseRows(const PulseConfig& held, int32_t inputCount) {
    std::array<CountRow, MAX_INPUTS> rows;
    for (int32_t j = 0; j < MAX_INPUTS; ++j) {
        if (j >= inputCount || held.edge[j] == 0) continue;
        rows[j] = {"DI" + std::to_string(j + 1), j};
    }
    return rows;
}

std::array<CountRow, MAX_INPUTS> TwoPhaseRows(const PulseConfig& held, int32_t inputCount) {
    std::array<CountRow, MAX_INPUTS> rows;
    if (held.edge[0] != 0) rows[0] = {FIRST_PAIR_LABEL, 0};
    if (inputCount > SECOND_PAIR_INDEX && held.edge[SECOND_PAIR_INDEX] != 0)
        rows[1] = {SECOND_PAIR_LABEL, SECOND_PAIR_INDEX};
    return rows;
}

}  // namespace

std::array<CountRow, MAX_INPUTS> CountRowsOf(const PulseConfig& held, int32_t inputCount) {
    return TwoPhase(held.mode) ? TwoPhaseRows(held, inputCount) : SinglePhaseRows(held, inputCount);
}

CountDisplay CountDisplayOf(int32_t mode, int32_t index) {
    if (!TwoPhase(mode)) return {index, index};
    return index == 0 ? CountDisplay{0, 0} : CountDisplay{1, SECOND_PAIR_INDEX};
}
