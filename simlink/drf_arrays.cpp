// The process-wide DRF value arrays.
#include "simlink/drf_arrays.h"

void ResetDrfArrays() {
    Drf() = DrfArrays{};
}
