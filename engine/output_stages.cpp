#include "engine/output_stages.h"

#include <cmath>

double glueGain(double x) {
    double a = (((116.0 * x * x - 0.00375) * 100.0) / 20.0) / 580.0;
    if (!(a < 4.0)) {
        a = 4.0;
        return 1.0 / ((0.15 * a) * a + 1.0);
    }
    if (a > 0.0) return 1.0 / ((0.15 * a) * a + 1.0);
    return 1.0;
}

double glueStage(double x, double glue) {
    const double d = 0.3 * glue + 1.0;
    const double g = glueGain(x);
    return x * (1.0 - glue) + (std::tanh(d * x) * g) * glue;
}

double sideWidthFactor(double levelCubic, double lfoValue) {
    return (0.2 * levelCubic + 1.0) * (std::tanh(std::fabs(lfoValue)) * 0.25) + 1.0;
}
