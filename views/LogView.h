// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The operations the live loop, the rebuild and New use on the log list. The
// list widget implements them; tests and benchmarks use plain fakes.

#include <cstddef>
#include <string>
#include <string_view>

namespace ostrel {

// The log list: text lines, a selection, the freeze flag and visibility.
class TLogView {
public:
    virtual ~TLogView() = default;
    virtual void Add(std::string_view line) = 0;   // Items.Add
    virtual void Delete(int index) = 0;            // Items.Delete
    virtual std::string Item(int index) const = 0; // Items[index]
    virtual int Count() const = 0;                 // Items.Count
    virtual void Clear() = 0;
    virtual int ItemIndex() const = 0;
    virtual void SetItemIndex(int index) = 0;
    virtual int Tag() const = 0; // 0 follows, 1 frozen
    virtual bool IsVisible() const = 0;
    // Room for n lines in all, made before a refill of known size.
    virtual void Reserve(std::size_t /*n*/) {}
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}

    // Selects the newest line when the list is shown and not frozen.
    void FollowLastLine() {
        if (IsVisible() && Tag() == 0) {
            SetItemIndex(Count() - 1);
        }
    }
};

} // namespace ostrel
