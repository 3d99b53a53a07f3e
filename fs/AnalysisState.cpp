#include "fs/AnalysisState.h"

namespace vx {

AnalysisState& TheAnalysisState() {
    static AnalysisState state;
    return state;
}

}  // namespace vx
