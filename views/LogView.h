// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The operations the live loop, the rebuild and New use on the log list. The
// list widget implements them; tests and benchmarks use plain fakes.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace ostrel {

// Lines that are a function of something the list does not own, made only
// when they are shown, saved or asked for.
class TLineSource {
public:
    virtual ~TLineSource() = default;
    virtual std::size_t Count() const = 0;
    // Appends line k (k < Count()) to out.
    virtual void AppendLine(std::string& out, std::size_t k) const = 0;
};

// The log list: text lines, a selection, the freeze flag and visibility.
class TLogView {
public:
    virtual ~TLogView() = default;
    virtual void Add(std::string_view line) = 0;   // Items.Add
    virtual void Delete(int index) = 0;            // Items.Delete
    virtual std::string Item(int index) const = 0; // Items[index]
    // Appends Item(index) to out, which a caller of many lines reuses.
    virtual void AppendItem(std::string& out, int index) const { out += Item(index); }
    virtual int Count() const = 0; // Items.Count
    virtual void Clear() = 0;
    virtual int ItemIndex() const = 0;
    virtual void SetItemIndex(int index) = 0;
    virtual int Tag() const = 0; // 0 follows, 1 frozen
    virtual bool IsVisible() const = 0;
    // Adds the source's lines after the others. A list may keep the source
    // instead of the text, so what the lines are made of must stay as it is
    // until the list is cleared or those lines are deleted.
    virtual void AddLines(std::shared_ptr<const TLineSource> source) {
        std::string line;
        for (std::size_t k = 0; k < source->Count(); ++k) {
            line.clear();
            source->AppendLine(line, k);
            Add(line);
        }
    }
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
