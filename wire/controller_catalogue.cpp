#include "wire/controller_catalogue.h"

namespace botpilot {

namespace {

/// Whether the last of `kinds` is an integer, as a list's count must be.
constexpr bool EndsInInteger(const char* kinds) {
    const char* last = nullptr;
    for (const char* letter = kinds; *letter != '\0'; ++letter) {
        last = letter;
    }
    return last != nullptr && *last == 'i';
}

/// Whether entry i is type i + 1, so that a type finds its entry at once, and a list in a reply
/// follows its count. A letter that names no kind stops the compilation (KindOfLetter throws).
constexpr bool WellFormed() {
    for (std::size_t i = 0; i < kControllerCatalogueSize; ++i) {
        const CatalogueEntry& entry = kControllerCatalogue[i];
        static_cast<void>(MinimumBytes(entry.reply) + MinimumBytes(entry.each));
        if (entry.type != static_cast<std::int32_t>(i + 1) ||
            (*entry.each != '\0' && !EndsInInteger(entry.reply))) {
            return false;
        }
    }
    return true;
}
static_assert(WellFormed(), "The catalogue lists the types 1, 2, ... in order, each list after "
                            "its count");

} // namespace

const CatalogueEntry* FindControllerMessage(std::int32_t type) {
    if (type < 1 || static_cast<std::size_t>(type) > kControllerCatalogueSize) {
        return nullptr;
    }
    return &kControllerCatalogue[type - 1];
}

bool IsConfiguration(std::int32_t type) {
    const CatalogueEntry* entry = FindControllerMessage(type);
    return entry != nullptr && entry->supported && entry->stage == RequestStage::Configuring &&
           entry->valueCount > 0;
}

} // namespace botpilot
