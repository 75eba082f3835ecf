#include "engine/band_stages.h"

#include <cmath>

#include "engine/stage_formulas.h"

double momentumStage(double x, double momentum, double& lowPeak, double lowPeakRelease) {
    const double k = (26.666666666666668 * momentum) * 81.0;
    const double y = formula::momentumBoost<AsWritten>(x, k);
    lowPeak = formula::followLowPeak(y, lowPeak, lowPeakRelease);
    return formula::momentumLimit(y, lowPeak);
}

double tubeRateConstant(double fs) { return 6.283185307179586 * (1000.0 / fs); }

double tubeStage(double m, double drive, double tubeBias, double crestSoftener,
                 double lfoDepth, double levelCubic, double levelSquare, double fs) {
    if (std::fabs(m) < tubeSilenceThreshold) return m;
    const BlockConstants c = cookBlockConstants(BlockSnapshot{drive, tubeBias, 0.0, 0.0, 0.0, 1.0, 1.0}, fs);
    const double K = formula::tubeDrive(crestSoftener, lfoDepth, c.driveFactor);
    const double argument = formula::tubeArgument<AsWritten>(c, m, K, levelCubic, levelSquare);
    return formula::tubeResult(m, std::tanh(argument));
}

double sieveStage(double h, double sieve) {
    return formula::sieveResult(h, std::sin(formula::sieveArgument(h)), sieve);
}
