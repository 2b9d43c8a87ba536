// The process-wide DRF value arrays.
#include "systems/drf_arrays.h"

void ResetDrfArrays() {
    Drf() = DrfArrays{};
}
