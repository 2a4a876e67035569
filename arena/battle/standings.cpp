#include "arena/battle/standings.h"

#include <algorithm>
#include <tuple>

namespace botarena {

namespace {

/// The ranking's key but for the id: equal keys are a tie that only the id breaks.
auto Key(const Contender& contender) {
    const RobotRecord& record = contender.record;
    return std::make_tuple(record.tookPart, record.Score(), record.timeAlive, record.damageDealt);
}

} // namespace

const Placing* Standings::Of(int id) const {
    const auto found = std::find_if(placings.begin(), placings.end(),
                                    [id](const Placing& placing) { return placing.id == id; });
    return found == placings.end() ? nullptr : &*found;
}

Standings Rank(const std::vector<Contender>& contenders) {
    std::vector<const Contender*> order;
    for (const Contender& contender : contenders) {
        order.push_back(&contender);
    }
    std::sort(order.begin(), order.end(), [](const Contender* a, const Contender* b) {
        const auto keyA = Key(*a);
        const auto keyB = Key(*b);
        return keyA != keyB ? keyA > keyB : a->id < b->id;
    });
    Standings standings;
    for (std::size_t i = 0; i < order.size(); ++i) {
        standings.placings.push_back(
            {order[i]->id, static_cast<int>(i) + 1, order[i]->record.Score()});
    }
    const bool someone = !order.empty() && order[0]->record.tookPart;
    const bool tie = order.size() >= 2 && Key(*order[0]) == Key(*order[1]);
    if (someone && !tie) {
        standings.winnerId = order[0]->id;
        standings.winnerName = order[0]->name;
    }
    return standings;
}

} // namespace botarena
