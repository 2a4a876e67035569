#include "world/object_field.h"

#include "geometry/feature_sum.h"
#include "world/playing_field.h"

#include <cassert>
#include <utility>

namespace botpilot {

ObjectField::ObjectField(std::unique_ptr<PredictedBattleObject> prototype, double maxAge,
                         double maxSingleObservationAge)
    : prototype(std::move(prototype)), maxAge(maxAge),
      maxSingleObservationAge(maxSingleObservationAge) {
    assert(this->prototype != nullptr);
}

PredictedBattleObject& ObjectField::Get(std::int32_t id) {
    auto found = objects.find(id);
    if (found != objects.end()) {
        return *found->second;
    }
    std::unique_ptr<PredictedBattleObject> object = prototype->Create();
    object->SetId(id);
    PredictedBattleObject& created = *object;
    objects.emplace(id, std::move(object));
    return created;
}

std::vector<std::reference_wrapper<PredictedBattleObject>> ObjectField::Objects() {
    std::vector<std::reference_wrapper<PredictedBattleObject>> list;
    list.reserve(objects.size());
    for (const auto& entry : objects) {
        list.emplace_back(*entry.second);
    }
    return list;
}

std::vector<std::reference_wrapper<const PredictedBattleObject>> ObjectField::Objects() const {
    std::vector<std::reference_wrapper<const PredictedBattleObject>> list;
    list.reserve(objects.size());
    for (const auto& entry : objects) {
        list.emplace_back(*entry.second);
    }
    return list;
}

void ObjectField::Purge() {
    // Collect first and erase afterwards, so the walk never runs over a changing map.
    std::vector<std::int32_t> doomed;
    for (const auto& entry : objects) {
        if (ShouldPurge(*entry.second)) {
            doomed.push_back(entry.first);
        }
    }
    for (const std::int32_t id : doomed) {
        // Keyed by the map's own key, which equals the object's id as long as nobody renames an
        // object the field holds.
        assert(objects.at(id)->Id() == id);
        objects.erase(id);
    }
}

bool ObjectField::ShouldPurge(const PredictedBattleObject& object) const {
    const Point p = object.Position();
    if (!PlayingField::Instance().Contains(p.x, p.y)) {
        return true;
    }
    if (maxAge >= 0.0 && object.Age() > maxAge) {
        return true;
    }
    if (object.ObservationCount() >= 2) {
        return false;
    }
    if (maxSingleObservationAge < 0.0) {
        return false;
    }
    return object.Age() > maxSingleObservationAge;
}

double ObjectField::Height(double x, double y) const {
    double sum = 0.0;
    for (const auto& entry : objects) {
        sum += entry.second->Height(x, y);
    }
    return sum;
}

void ObjectField::AddTerms(FeatureSum& sum) const {
    sum.OpenGroup();
    for (const auto& entry : objects) {
        entry.second->AddTerms(sum);
    }
    sum.CloseGroup();
}

} // namespace botpilot
