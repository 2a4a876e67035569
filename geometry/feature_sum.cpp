#include "geometry/feature_sum.h"

#include <cassert>
#include <stdexcept>

namespace botpilot {

void Feature::AddTerms(FeatureSum& sum) const {
    sum.AddFeature(*this);
}

void FeatureSum::Clear() {
    terms.clear();
    ridges.clear();
    depth = 0;
}

void FeatureSum::AddFeature(const Feature& feature) {
    assert(&feature != this); // a sum inside itself would recurse for ever
    terms.push_back({Kind::Feature, 0, &feature});
}

void FeatureSum::AddRidge(const SegmentRidge& ridge) {
    // Ridges in a row make one term: a height then runs through them without a dispatch each.
    if (!terms.empty() && terms.back().kind == Kind::Ridges) {
        ++terms.back().count;
    } else {
        terms.push_back({Kind::Ridges, 1, nullptr});
    }
    ridges.push_back(ridge);
}

void FeatureSum::OpenGroup() {
    if (depth == kMaxDepth) {
        throw std::length_error("Feature groups nest deeper than the sum allows");
    }
    ++depth;
    terms.push_back({Kind::Open, 0, nullptr});
}

void FeatureSum::CloseGroup() {
    if (depth == 0) {
        throw std::logic_error("No feature group is open");
    }
    --depth;
    terms.push_back({Kind::Close, 0, nullptr});
}

double FeatureSum::Height(double x, double y) const {
    assert(depth == 0 && "every group closed");
    // sums[0] is the top level; each open group sums into the next slot from 0.0, as a composite
    // sums its parts, and is added to the slot below when it closes.
    double sums[kMaxDepth + 1];
    double* sum = sums;
    *sum = 0.0;
    const SegmentRidge* ridge = ridges.data();
    for (const Term& term : terms) {
        switch (term.kind) {
        case Kind::Feature:
            *sum += term.feature->Height(x, y);
            break;
        case Kind::Ridges:
            for (const SegmentRidge* const end = ridge + term.count; ridge != end; ++ridge) {
                *sum += ridge->Height(x, y);
            }
            break;
        case Kind::Open:
            *++sum = 0.0;
            break;
        case Kind::Close: {
            const double group = *sum;
            --sum;
            *sum += group;
            break;
        }
        }
    }
    return *sum;
}

} // namespace botpilot
