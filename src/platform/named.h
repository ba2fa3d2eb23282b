#pragma once

#include <utility>
#include <vector>

namespace platform {

// What a window keeps of its controls or its timers, each under its name: found by the name,
// or by what the window system knows it by.
template <typename Name, typename Thing> class Named {
public:
    struct Item {
        Name name;
        Thing thing;
    };

    Thing& Add(Name name, Thing thing) {
        items_.push_back({name, std::move(thing)});
        return items_.back().thing;
    }
    Thing* Find(Name name) {
        for (Item& item : items_)
            if (item.name == name)
                return &item.thing;
        return nullptr;
    }
    const Thing* Find(Name name) const { return const_cast<Named*>(this)->Find(name); }
    // The first whose thing the test holds for.
    template <typename Test> const Item* Where(Test test) const {
        for (const Item& item : items_)
            if (test(item.thing))
                return &item;
        return nullptr;
    }
    auto begin() { return items_.begin(); }
    auto end() { return items_.end(); }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    std::size_t size() const { return items_.size(); }

private:
    std::vector<Item> items_;
};

} // namespace platform
