// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/LogList.h"

#include <QItemSelectionModel>
#include <QMouseEvent>

namespace ostrel {

int TLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Shown;
}

QVariant TLogModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= Shown) {
        return {};
    }
    Scratch.clear();
    Text.AppendTo(Scratch, index.row());
    return QString::fromUtf8(Scratch.data(), static_cast<qsizetype>(Scratch.size()));
}

template <typename TAppend> void TLogModel::Grow(std::size_t n, TAppend&& append) {
    if (UpdateDepth > 0 || n == 0) {
        append();
        return;
    }
    const int row = Text.Count();
    beginInsertRows(QModelIndex(), row, row + static_cast<int>(n) - 1);
    append();
    Shown = Text.Count();
    endInsertRows();
}

void TLogModel::Add(std::string_view line) {
    Grow(1, [&] { Text.Append(line); });
}

void TLogModel::Add(std::shared_ptr<const TLineSource> source) {
    const std::size_t n = source->Count();
    Grow(n, [&] { Text.Append(std::move(source)); });
}

void TLogModel::Delete(int index) {
    // Rows appended inside an update, and every row once a reset is under
    // way, are not known to the view: only the text changes.
    if (ResetBegun || index < 0 || index >= Shown) {
        Text.Delete(index);
        return;
    }
    beginRemoveRows(QModelIndex(), index, index);
    Text.Delete(index);
    --Shown;
    endRemoveRows();
}

void TLogModel::Clear() {
    BeginResetOnce();
    Text.Clear();
    if (UpdateDepth == 0) {
        Shown = 0;
        ResetBegun = false;
        endResetModel();
    }
}

void TLogModel::BeginUpdate() {
    ++UpdateDepth;
}

void TLogModel::EndUpdate() {
    if (UpdateDepth == 0 || --UpdateDepth > 0) {
        return;
    }
    if (ResetBegun) {
        Shown = Text.Count();
        ResetBegun = false;
        endResetModel();
        return;
    }
    if (Text.Count() > Shown) {
        beginInsertRows(QModelIndex(), Shown, Text.Count() - 1);
        Shown = Text.Count();
        endInsertRows();
    }
}

void TLogModel::BeginResetOnce() {
    if (!ResetBegun) {
        beginResetModel();
        ResetBegun = true;
    }
}

QSize TLogItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(), TLogList::ItemHeight};
}

TLogList::TLogList(QWidget* parent) : QListView(parent), Model(new TLogModel(this)) {
    setModel(Model);
    setItemDelegate(new TLogItemDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Lines are never wider than a useful window; they are cut at the
    // right edge rather than shortened with an ellipsis.
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TLogList::Add(std::string_view line) {
    Model->Add(line);
}

void TLogList::Delete(int index) {
    // The view would otherwise select a neighbour of a removed current line;
    // removing a line must not select another.
    if (currentIndex().isValid() && currentIndex().row() == index) {
        selectionModel()->clearCurrentIndex();
    }
    Model->Delete(index);
}

std::string TLogList::Item(int index) const {
    return Model->Lines().Line(index);
}

void TLogList::AppendItem(std::string& out, int index) const {
    Model->Lines().AppendTo(out, index);
}

void TLogList::AddLines(std::shared_ptr<const TLineSource> source) {
    Model->Add(std::move(source));
}

int TLogList::Count() const {
    return Model->Lines().Count();
}

void TLogList::Clear() {
    Model->Clear();
    // Inside an update the reset is still pending; setting the scroll bar
    // now keeps the refilled list at its first line too.
    scrollToTop();
}

int TLogList::ItemIndex() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TLogList::SetItemIndex(int index) {
    if (index == ItemIndex()) {
        return;
    }
    if (index < 0 || index >= Model->rowCount()) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex target = Model->index(index);
    selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
    scrollTo(target, QAbstractItemView::EnsureVisible);
}

void TLogList::BeginUpdate() {
    Model->BeginUpdate();
}

void TLogList::EndUpdate() {
    Model->EndUpdate();
}

void TLogList::mouseDoubleClickEvent(QMouseEvent* event) {
    QListView::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) {
        LogDblClick();
    }
}

} // namespace ostrel
