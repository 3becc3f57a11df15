#include "app/grid.h"

#include "app/controls.h"
#include "app/database.h"
#include "app/text.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <algorithm>
#include <cstdlib>

namespace cn {

BrowseColumn fieldColumn(const QString& header, int width, const QString& field)
{
    BrowseColumn c;
    c.header = header;
    c.width = width;
    c.field = field.toUpper();
    return c;
}

BrowseColumn exprColumn(const QString& header, int width,
                        std::function<QString(const data::WorkArea&)> text, Qt::Alignment align)
{
    BrowseColumn c;
    c.header = header;
    c.width = width;
    c.text = std::move(text);
    c.align = align;
    return c;
}

// ---------------------------------------------------------------- model

BrowseModel::BrowseModel(QObject* parent) : QAbstractTableModel(parent) {}

void BrowseModel::setAlias(const QString& alias)
{
    alias_ = alias;
    direct_ = nullptr;
    refresh();
}

void BrowseModel::setArea(data::WorkArea* area)
{
    alias_.clear();
    direct_ = area;
    refresh();
}

data::WorkArea* BrowseModel::area() const
{
    if (direct_)
        return direct_;
    return alias_.isEmpty() ? nullptr : cn::area(alias_);
}

void BrowseModel::setColumns(QList<BrowseColumn> columns)
{
    beginResetModel();
    columns_ = std::move(columns);
    aligns_.clear();
    cache_.clear();
    endResetModel();
    refresh();
}

void BrowseModel::setCountByWalking(bool walk)
{
    walk_ = walk;
    refresh();
}

void BrowseModel::setRows(std::optional<std::vector<uint32_t>> records)
{
    rows_ = std::move(records);
    rowOf_.clear();
    if (rows_)
        for (size_t i = 0; i < rows_->size(); ++i)
            rowOf_.insert((*rows_)[i], static_cast<int>(i));
    refresh();
}

bool BrowseModel::walking() const
{
    const data::WorkArea* a = area();
    return walk_ || (a && a->indexOrd() == 0);
}

void BrowseModel::refresh()
{
    beginResetModel();
    cache_.clear();
    anchors_.clear();
    knownRec_ = 0;
    knownRow_ = -1;
    count_ = 0;
    aligns_.clear();
    if (data::WorkArea* a = area()) {
        for (const auto& c : columns_) {
            Qt::Alignment al = Qt::AlignLeft | Qt::AlignVCenter;
            if (c.align) {
                al = *c.align;
            } else if (!c.field.isEmpty()) {
                const int pos = a->fieldPos(c.field.toStdString());
                if (pos > 0 && a->fieldInfo(pos).type == 'N')
                    al = Qt::AlignRight | Qt::AlignVCenter;
            }
            aligns_ << al;
        }
        if (rows_) {
            count_ = static_cast<int>(rows_->size());
        } else if (walking()) {
            const uint32_t saved = a->recNo();
            int n = 0;
            for (a->goTop(); !a->eof(); a->skip(1))
                ++n;
            visited_ += static_cast<quint64>(n);
            a->goTo(saved);
            count_ = n;
        } else {
            count_ = static_cast<int>(a->keyCount());
        }
    }
    endResetModel();
}

int BrowseModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count_; }

int BrowseModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

Qt::Alignment BrowseModel::alignment(int column) const
{
    return column < aligns_.size() ? aligns_[column] : (Qt::AlignLeft | Qt::AlignVCenter);
}

QVariant BrowseModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count_ || index.column() >= columns_.size())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignment(index.column()));
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const Row* r = fetch(index.row());
    if (!r || index.column() >= r->cells.size())
        return QString();
    return r->cells[index.column()];
}

QVariant BrowseModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return columns_[section].header;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(alignment(section));
    if (role == Qt::DecorationRole && icons_.contains(section))
        return icons_.value(section);
    return {};
}

void BrowseModel::setHeaderIcon(int column, const QIcon& icon)
{
    if (icon.isNull())
        icons_.remove(column - 1);
    else
        icons_.insert(column - 1, icon);
    emit headerDataChanged(Qt::Horizontal, column - 1, column - 1);
}

QString BrowseModel::cellText(const data::WorkArea& a, const BrowseColumn& c) const
{
    if (c.text)
        return c.text(a);
    if (c.field.isEmpty())
        return {};
    const std::string name = c.field.toStdString();
    const int pos = a.fieldPos(name);
    if (pos <= 0)
        return {};
    const data::FieldDef def = a.fieldInfo(pos);
    switch (def.type) {
    case 'N':
        return QString::number(a.num(name), 'f', def.decimals);
    case 'D':
        return dateText(toQDate(a.date(name)));
    case 'L':
        return a.logical(name) ? QStringLiteral("T") : QStringLiteral("F");
    case 'M': {
        const QString memo = fromCp1252(a.memo(name));
        return memo.section(QLatin1Char('\n'), 0, 0);
    }
    default:
        return fieldText(a, c.field, false);
    }
}

const BrowseModel::Row* BrowseModel::fetch(int row) const
{
    auto it = cache_.constFind(row);
    if (it == cache_.constEnd()) {
        readBlock(row - row % kBlock);
        it = cache_.constFind(row);
        if (it == cache_.constEnd())
            return nullptr;
    }
    return &it.value();
}

void BrowseModel::readBlock(int first) const
{
    data::WorkArea* a = area();
    if (!a || first >= count_)
        return;
    if (cache_.size() + kBlock > kMaxCached)
        cache_.clear();
    if (anchors_.size() > kMaxAnchors)
        anchors_.clear();

    const uint32_t saved = a->recNo();
    const bool savedEof = a->eof();

    if (rows_) {
        for (int r = first; r < first + kBlock && r < count_; ++r) {
            Row row;
            row.rec = (*rows_)[static_cast<size_t>(r)];
            a->goTo(row.rec);
            row.cells.reserve(columns_.size());
            for (const auto& c : columns_)
                row.cells << cellText(*a, c);
            cache_.insert(r, row);
            ++visited_;
        }
        a->goTo(saved);
        return;
    }

    // Reach row `first` from the nearest known place: the top, the bottom, a
    // row passed before, or the area's current record.
    enum { Top, Bottom, Anchor, Current } from = Top;
    long start = 0;                       // the row of the starting place
    uint32_t anchorRec = 0;
    auto dist = [first](long row) { return std::labs(row - first); };
    if (dist(count_ - 1) < dist(start)) {
        from = Bottom;
        start = count_ - 1;
    }
    auto it = anchors_.lower_bound(first);
    if (it != anchors_.end() && dist(it->first) < dist(start)) {
        from = Anchor;
        start = it->first;
        anchorRec = it->second;
    }
    if (it != anchors_.begin() && dist(std::prev(it)->first) < dist(start)) {
        from = Anchor;
        start = std::prev(it)->first;
        anchorRec = std::prev(it)->second;
    }
    if (!walking() && !savedEof && dist(start) > kBlock) {
        const long cur = currentRow(*a);
        if (cur >= 0 && dist(cur) < dist(start)) {
            from = Current;
            start = cur;
        }
    }
    // Far from every known place, the index's key positions lead straight
    // to the row (a drag of the scroll bar to the middle of a million).
    if (!walking() && dist(start) > kAnchorStride && a->goToKeyNo(static_cast<uint32_t>(first) + 1)) {
        start = first;
        from = Current;
        if (!a->eof())
            anchors_[first] = a->recNo();
    }
    switch (from) {
    case Top:
        a->goTop();
        break;
    case Bottom:
        a->goBottom();
        break;
    case Anchor:
        a->goTo(anchorRec);
        break;
    case Current:
        break;
    }
    // Walk in strides, remembering where each stride lands, so that a later
    // jump near any place passed here starts close by.
    long at = start;
    while (at != first && !a->eof()) {
        const long stride = std::clamp<long>(first - at, -kAnchorStride, kAnchorStride);
        a->skip(stride);
        visited_ += static_cast<quint64>(std::labs(stride));
        at += stride;
        if (!a->eof())
            anchors_[static_cast<int>(at)] = a->recNo();
    }

    for (int r = first; r < first + kBlock && r < count_ && !a->eof(); ++r) {
        Row row;
        row.rec = a->recNo();
        row.cells.reserve(columns_.size());
        for (const auto& c : columns_)
            row.cells << cellText(*a, c);
        cache_.insert(r, row);
        anchors_[r] = row.rec;
        a->skip(1);
        ++visited_;
    }
    a->goTo(saved);
}

uint32_t BrowseModel::recordAt(int row) const
{
    if (row < 0 || row >= count_)
        return 0;
    const Row* r = fetch(row);
    return r ? r->rec : 0;
}

QStringList BrowseModel::rowTexts(int row) const
{
    if (row < 0 || row >= count_)
        return {};
    const Row* r = fetch(row);
    return r ? r->cells : QStringList();
}

int BrowseModel::rowOfCurrent() const
{
    data::WorkArea* a = area();
    if (!a || a->eof() || count_ == 0)
        return -1;
    return currentRow(*a);
}

int BrowseModel::currentRow(data::WorkArea& a) const
{
    const uint32_t target = a.recNo();
    if (knownRec_ != 0 && knownRec_ == target)
        return knownRow_;
    int row = -1;
    if (rows_) {
        row = rowOf_.value(target, -1);
    } else if (!walking()) {
        const int k = static_cast<int>(a.keyNo());
        row = k >= 1 && k <= count_ ? k - 1 : -1;
    } else {
        int n = 0;
        for (a.goTop(); !a.eof(); a.skip(1), ++n) {
            if (a.recNo() == target) {
                row = n;
                break;
            }
        }
        visited_ += static_cast<quint64>(n + 1);
        a.goTo(target);
        if (row >= count_)
            row = -1;
    }
    knownRec_ = target;
    knownRow_ = row;
    return row;
}

// ---------------------------------------------------------------- view

BrowseGrid::BrowseGrid(QWidget* parent) : QTableView(parent), model_(new BrowseModel(this))
{
    setTabKeyNavigation(false);   // Tab leaves the grid; arrows move in it
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { onCurrentChanged(current); });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { emit headerClicked(section + 1); });
}

void BrowseGrid::setColumns(QList<BrowseColumn> columns)
{
    model_->setColumns(columns);
    for (int i = 0; i < columns.size(); ++i)
        setColumnWidth(i, columns[i].width);
    refresh();
}

uint32_t BrowseGrid::value() const { return value_; }

void BrowseGrid::selectRow(int row)
{
    quiet_ = true;
    if (row < 0) {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
    } else {
        const QModelIndex idx = model_->index(row, 0);
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    }
    quiet_ = false;
}

void BrowseGrid::setValue(uint32_t recNo)
{
    data::WorkArea* a = model_->area();
    int row = -1;
    if (a && recNo != 0) {
        a->goTo(recNo);
        row = model_->rowOfCurrent();
    }
    selectRow(row);
    const uint32_t newValue = row < 0 ? 0 : recNo;
    if (newValue != value_) {
        value_ = newValue;
        emit changed();
    }
}

void BrowseGrid::refresh()
{
    const int scroll = verticalScrollBar() ? verticalScrollBar()->value() : 0;
    quiet_ = true;
    model_->refresh();
    quiet_ = false;
    if (verticalScrollBar())
        verticalScrollBar()->setValue(scroll);
    const int row = model_->rowOfCurrent();
    selectRow(row);
    value_ = row < 0 ? 0 : model_->recordAt(row);
    viewport()->update();
}

void BrowseGrid::onCurrentChanged(const QModelIndex& current)
{
    if (quiet_)
        return;
    const uint32_t rec = current.isValid() ? model_->recordAt(current.row()) : 0;
    if (rec != 0)
        if (data::WorkArea* a = model_->area())
            a->goTo(rec);
    if (rec != value_) {
        value_ = rec;
        emit changed();
    }
}

void BrowseGrid::setHeaderImage(int column, int arrow)
{
    arrowColumn_ = column;
    arrow_ = arrow;
    showHeaderArrow(horizontalHeader(), column, arrow);
}

int BrowseGrid::headerImage(int column) const { return column == arrowColumn_ ? arrow_ : 0; }

void refreshBrowseGrids()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        for (BrowseGrid* grid : w->findChildren<BrowseGrid*>())
            grid->refresh();
}

} // namespace cn
