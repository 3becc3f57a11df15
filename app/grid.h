#pragma once
// The browse: a grid bound to a work area. Its rows are the area's visible
// records in the controlling order, within its scope (and filter); its value
// is the record number of the selected row.
//
// Rows are mapped to records lazily: the model asks the engine for the number
// of keys (ORDKEYCOUNT) and the position of a record (ORDKEYNO), and reads
// only the blocks of rows the view paints, reaching a block by skipping from
// the nearest known place (top, bottom, a cached row or the current record).
// So a table of any size scrolls, jumps to its end and follows a seek without
// reading all of it. The area's current record is saved and restored around
// every read, so painting never moves the record a window works on.
#include "data/workspace.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>
#include <QTableView>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace cn {

struct BrowseColumn {
    QString header;
    int width = 80;
    QString field;                                          // a field of the area, or empty
    std::function<QString(const data::WorkArea&)> text;     // an expression (used when set)
    std::optional<Qt::Alignment> align;                     // default: numbers right, others left
};

// A column showing one field of the area as the windows show it: text without
// trailing blanks, numbers with their decimals, dates in CDATEFORMAT.
BrowseColumn fieldColumn(const QString& header, int width, const QString& field);
// A column computed from the record (for example a field of a related area).
BrowseColumn exprColumn(const QString& header, int width,
                        std::function<QString(const data::WorkArea&)> text,
                        Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);

class BrowseModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit BrowseModel(QObject* parent = nullptr);

    // The area by alias (looked up again on every refresh, so the model
    // survives tables being closed and reopened) or directly.
    void setAlias(const QString& alias);
    void setArea(data::WorkArea* area);
    data::WorkArea* area() const;
    void setColumns(QList<BrowseColumn> columns);
    const QList<BrowseColumn>& columns() const { return columns_; }
    // For an area with a filter the key counts include hidden records, so
    // rows are counted by walking the visible records instead (small sets).
    // Record-number order (order 0) is always walked.
    void setCountByWalking(bool walk);
    // The rows as given, in their order, instead of the area's visible
    // records: for a list narrowed to records already found (a search), so
    // that it is counted and scrolled without walking the order. Each row
    // is read by going to its record. nullopt returns to the area's rows.
    void setRows(std::optional<std::vector<uint32_t>> records);
    const std::vector<uint32_t>* givenRows() const { return rows_ ? &*rows_ : nullptr; }
    // A picture beside a column's header text (column from 1); a null icon
    // removes it.
    void setHeaderIcon(int column, const QIcon& icon);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Re-reads the number of rows and forgets every cached row.
    void refresh();
    // The record shown in a row (0 when the row does not exist).
    uint32_t recordAt(int row) const;
    // The row of the area's current record, -1 when it is not visible here.
    int rowOfCurrent() const;
    // Cell texts of a row, as shown.
    QStringList rowTexts(int row) const;

    // For tests and tuning: records visited by skipping since the last reset.
    quint64 recordsVisited() const { return visited_; }
    void resetCounters() { visited_ = 0; }
    int cachedRows() const { return static_cast<int>(cache_.size()); }

    static constexpr int kBlock = 16;      // rows read per visit: about a visible page
    static constexpr int kMaxCached = 1024;
    static constexpr long kAnchorStride = 512;
    static constexpr size_t kMaxAnchors = 200000;

private:
    struct Row {
        uint32_t rec = 0;
        QStringList cells;
    };
    bool walking() const;
    // The row of the area's current record, remembered per record until the
    // next refresh: a keystroke selects the row and then paints around it
    // without asking the engine for the same position twice.
    int currentRow(data::WorkArea& a) const;
    const Row* fetch(int row) const;
    void readBlock(int first) const;
    QString cellText(const data::WorkArea& a, const BrowseColumn& c) const;
    Qt::Alignment alignment(int column) const;

    QString alias_;
    data::WorkArea* direct_ = nullptr;
    QList<BrowseColumn> columns_;
    QList<Qt::Alignment> aligns_;
    QHash<int, QIcon> icons_;
    std::optional<std::vector<uint32_t>> rows_;
    QHash<uint32_t, int> rowOf_;     // record -> row of the given rows
    bool walk_ = false;
    int count_ = 0;
    mutable QHash<int, Row> cache_;
    mutable std::map<int, uint32_t> anchors_;   // row -> record, places passed
    mutable uint32_t knownRec_ = 0;             // record whose row is knownRow_
    mutable int knownRow_ = -1;
    mutable quint64 visited_ = 0;
};

// The browse control: a read-only table view over a BrowseModel, one row
// selected at a time. Setting the value moves the area to that record and
// selects its row; choosing a row moves the area to the row's record. Both
// fire changed() when the value differs.
class BrowseGrid : public QTableView {
    Q_OBJECT
public:
    explicit BrowseGrid(QWidget* parent = nullptr);
    BrowseModel* browseModel() const { return model_; }

    void setAlias(const QString& alias) { model_->setAlias(alias); }
    void setArea(data::WorkArea* area) { model_->setArea(area); }
    void setColumns(QList<BrowseColumn> columns);

    uint32_t value() const;           // record number of the selected row, 0 when none
    void setValue(uint32_t recNo);    // 0 clears the selection
    // Re-reads the table and selects the row of the area's current record
    // (none when that record is not visible here). Does not fire changed().
    void refresh();
    // The sort arrow of a column header (from 1): 0 none, 1 up, 2 down.
    void setHeaderImage(int column, int arrow);
    int headerImage(int column) const;

signals:
    void changed();
    void headerClicked(int column);   // from 1

private:
    void selectRow(int row);
    void onCurrentChanged(const QModelIndex& current);

    BrowseModel* model_;
    uint32_t value_ = 0;
    bool quiet_ = false;
    int arrowColumn_ = 0;
    int arrow_ = 0;
};

// Every browse of every open window re-reads its table (after a run that
// rewrote or replaced records under them).
void refreshBrowseGrids();

} // namespace cn
