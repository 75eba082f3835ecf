#include "engine/band_stages.h"

#include <cmath>

#include "engine/stage_formulas.h"

double momentumStage(double x, double momentum, double& lowPeak, double lowPeakRelease) {
    const double y = formula::momentumBoost<AsWritten>(x, formula::momentumDrive(momentum));
    lowPeak = formula::followLowPeak(y, lowPeak, lowPeakRelease);
    return formula::momentumLimit(y, lowPeak);
}

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
