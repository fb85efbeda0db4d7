// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The log list `Log`: one text line per counted minute, a single selection,
// the freeze flag toggled by a double-click, and the operations the live loop,
// the rebuild and the file commands use on it.

#include "views/LogLines.h"
#include "views/LogView.h"

#include <QAbstractListModel>
#include <QListView>
#include <QStyledItemDelegate>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// The lines as the view sees them. Rows reach the view only when the view is
// told of them: inside an update the lines grow first and the view learns of
// them all at once at its end.
class TLogModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    const TLogLines& Lines() const { return Text; }

    void Add(std::string_view line);
    void Add(std::shared_ptr<const TLineSource> source);
    void Delete(int index);
    void Clear();
    // An update that empties the list ends in one reset, which drops the
    // selection; one that only appends ends in one insertion.
    void BeginUpdate();
    void EndUpdate();

private:
    void BeginResetOnce();

    // Runs append, which adds n lines; outside an update the view is told.
    template <typename TAppend> void Grow(std::size_t n, TAppend&& append);

    TLogLines Text;
    mutable std::string Scratch; // a line made for data()
    int Shown = 0;               // rows the view knows of
    int UpdateDepth = 0;
    bool ResetBegun = false;
};

// Draws lines at the list's fixed item height.
class TLogItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

class TLogList : public QListView, public TLogView {
    Q_OBJECT
public:
    static constexpr int ItemHeight = 13;

    explicit TLogList(QWidget* parent = nullptr);

    void Add(std::string_view line) override;
    void AddLines(std::shared_ptr<const TLineSource> source) override;
    void Delete(int index) override;
    std::string Item(int index) const override;
    void AppendItem(std::string& out, int index) const override;
    int Count() const override;
    void Clear() override;
    int ItemIndex() const override;
    // Selects the line and scrolls only as far as needed to show it; -1
    // removes the selection; the index already selected changes nothing.
    void SetItemIndex(int index) override;
    int Tag() const override { return TagValue; }
    // The list's own shown/hidden flag, also while its window is not shown.
    bool IsVisible() const override { return !isHidden(); }
    void BeginUpdate() override;
    void EndUpdate() override;

    // Freezes or resumes following the newest line.
    void LogDblClick() { TagValue ^= 1; }

    // All lines in order.
    std::vector<std::string> Lines() const { return Model->Lines().All(); }

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TLogModel* const Model;
    int TagValue = 0;
};

} // namespace ostrel
