#include "engine/band_stages.h"

#include <cmath>

double momentumStage(double x, double momentum, double& lowPeak, double lowPeakRelease) {
    const double k = (26.666666666666668 * momentum) * 81.0;
    const double magnitude = std::fabs(x);
    const double p = std::pow(magnitude < 1.0 ? magnitude : 1.0, 1.5);
    const double factor = ((k * p) * 81.0) * 3e-5 + 1.0;
    double y = x * factor;

    const double peakIn = std::fabs(y);
    if (withinFiniteRange(y)) {
        if (peakIn > lowPeak)
            lowPeak = peakIn;
        else
            lowPeak = lowPeak * lowPeakRelease + (1.0 - lowPeakRelease) * peakIn;
    }
    if (lowPeak > 0.7) y = y * (0.85 + (0.7 / lowPeak) * 0.15);
    return y;
}

double tubeRateConstant(double fs) { return 6.283185307179586 * (1000.0 / fs); }

double tubeStage(double m, double drive, double tubeBias, double crestSoftener,
                 double lfoDepth, double levelCubic, double levelSquare, double fs) {
    if (std::fabs(m) < tubeSilenceThreshold) return m;
    const double K = ((0.2 * crestSoftener + 0.85) * (0.35 * lfoDepth + 1.0)) * (6.5 * drive + 1.0);
    const double u = K * m;
    const double w = tubeRateConstant(fs);
    const double s = u / (std::fabs(u) + 1.0);
    const double a = ((s * s) * 162.51651148859455) * 0.01;
    if (u >= 0.0) {
        const double c = (u * u) * u;
        const double shaped = (w * (1.0 / (0.25 * std::fabs(u) + 1.0))) * c + (a - c * (w / 6.0));
        return std::tanh(((tubeBias - 0.5) * 0.35 + 1.0) * u +
                         shaped * 0.2 * (0.5 * levelCubic + 1.0));
    }
    const double v = -u;
    const double wCubed = std::pow(w, 3.0);
    const double shaped = (0.01 * wCubed - u * u) + (a - (w / 6.0) * v);
    return -std::tanh(((0.5 - tubeBias) * 0.35 + 1.0) * v +
                      shaped * 0.2 * (0.5 * levelSquare + 1.0));
}

double sieveStage(double h, double sieve) {
    constexpr double pi = 3.141592653589793;
    return h * (1.0 - (std::sin(((std::fabs(h) * 172.0) * pi) * 0.01) * 0.06) * sieve);
}
