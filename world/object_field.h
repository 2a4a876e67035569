#pragma once

#include "geometry/feature.h"
#include "world/predicted_battle_object.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace botpilot {

/// The robot's memory of what its scanner reports: predicted objects keyed by the server's id,
/// in ascending id order. It forgets, on `Purge`, what has left the playing field, what has not
/// been seen for too long, and what was seen only once and not confirmed in time. As a `Feature`
/// its height is the sum of its objects' heights.
class ObjectField final : public Feature {
  public:
    /// An empty field. The prototype decides the kind of every object the field creates; it is
    /// never put among the objects. A negative age limit switches its rule off.
    /// [Units: s] [Limit: prototype not null]
    ObjectField(std::unique_ptr<PredictedBattleObject> prototype, double maxAge,
                double maxSingleObservationAge);
    ObjectField(const ObjectField&) = delete;
    ObjectField& operator=(const ObjectField&) = delete;

    /// The object with this id; created from the prototype (never observed, stamped now) when
    /// absent. Reading records no observation. The reference stays valid until the next `Purge`.
    PredictedBattleObject& Get(std::int32_t id);
    /// Number of objects held.
    std::size_t Size() const { return objects.size(); }
    /// All objects in ascending id order: a fresh list of references to objects the field keeps
    /// owning, valid until the next `Purge`.
    std::vector<std::reference_wrapper<PredictedBattleObject>> Objects();
    std::vector<std::reference_wrapper<const PredictedBattleObject>> Objects() const;

    /// Walks the objects in ascending id order in place, for loops that only read.
    class ConstIterator {
      public:
        using Entry =
            std::map<std::int32_t, std::unique_ptr<PredictedBattleObject>>::const_iterator;
        explicit ConstIterator(Entry at) : at(at) {}
        const PredictedBattleObject& operator*() const { return *at->second; }
        ConstIterator& operator++() {
            ++at;
            return *this;
        }
        bool operator!=(const ConstIterator& other) const { return at != other.at; }

      private:
        Entry at;
    };
    /// The objects of `InIdOrder`: a range for a range-based for.
    struct ConstRange {
        ConstIterator first;
        ConstIterator last;
        ConstIterator begin() const { return first; }
        ConstIterator end() const { return last; }
    };
    /// All objects in ascending id order, as `Objects` lists them but without building a list:
    /// valid until the field changes.
    ConstRange InIdOrder() const {
        return ConstRange{ConstIterator(objects.begin()), ConstIterator(objects.end())};
    }
    /// Removes and destroys every object for which `ShouldPurge` holds.
    void Purge();
    /// The first rule that fires decides: outside the playing field (at its present, extrapolated
    /// position) purges; older than `maxAge` purges; seen at least twice keeps; older than
    /// `maxSingleObservationAge` purges. Both age tests are strict.
    bool ShouldPurge(const PredictedBattleObject& object) const;

    /// The sum of the objects' heights in ascending id order; 0 for an empty field.
    double Height(double x, double y) const override;
    /// Its objects' terms, in ascending id order, as one group.
    void AddTerms(FeatureSum& sum) const override;

  private:
    std::map<std::int32_t, std::unique_ptr<PredictedBattleObject>> objects;
    std::unique_ptr<PredictedBattleObject> prototype;
    double maxAge;                  ///< [Units: s] negative: off
    double maxSingleObservationAge; ///< [Units: s] negative: off
};

} // namespace botpilot
