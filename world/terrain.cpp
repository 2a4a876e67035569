#include "world/terrain.h"

#include "diagnostics/timer.h"
#include "geometry/feature_sum.h"

#include <algorithm>
#include <cassert>

namespace botpilot {

double Terrain::Height(double x, double y) const {
    Timer timer("Terrain::Height");
    double sum = 0.0;
    for (const Feature* source : sources) {
        sum += source->Height(x, y);
    }
    return sum;
}

void Terrain::AddTerms(FeatureSum& sum) const {
    sum.OpenGroup();
    for (const Feature* source : sources) {
        source->AddTerms(sum);
    }
    sum.CloseGroup();
}

void Terrain::AddSource(const Feature& source) {
    assert(&source != this); // a terrain inside itself would recurse for ever
    sources.push_back(&source);
}

void Terrain::RemoveSource(const Feature& source) {
    sources.erase(std::remove(sources.begin(), sources.end(), &source), sources.end());
}

} // namespace botpilot
