// The process-wide DRF value arrays.
#include "simlink/drf_arrays.h"

DrfArrays& Drf() {
    static DrfArrays arrays;
    return arrays;
}

void ResetDrfArrays() {
    Drf() = DrfArrays{};
}
