#include "engine/output_stages.h"

#include <cmath>

#include "engine/stage_formulas.h"

double glueGain(double x) { return formula::glueGain<AsWritten>(x); }

double glueStage(double x, double glue) {
    return formula::glueResult<AsWritten>(x, std::tanh(formula::glueArgument(x, formula::glueDrive(glue))), glue);
}

float clampAndNarrow(double v) { return static_cast<float>(formula::clampOutput(v)); }

double sideWidthFactor(double levelCubic, double lfoValue) {
    return formula::widthResult(levelCubic, std::tanh(formula::widthArgument(lfoValue)));
}
