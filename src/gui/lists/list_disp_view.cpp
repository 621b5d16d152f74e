#include "gui/lists/list_disp_view.h"

#include <QCloseEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "core/base/paths.h"
#include "core/base/text.h"
#include "core/lists/list_boxes.h"
#include "gui/base/app_context.h"
#include "gui/base/qt_text.h"
#include "gui/base/user_messages.h"
#include "gui/lists/list_delegate.h"
#include "gui/lists/list_model.h"
#include "gui/lists/list_pictures.h"
#include "gui/lists/prg_open_dlg.h"

using voxmg::list_columns::Column;

namespace {

// Rows are as high as the original list's lines; the scroll position is kept in lines.
constexpr int kRowHeight = 19;

// The widest text a fixed-format column shows.
QString sampleText(Column column) {
    switch (column) {
        case Column::Date:
            return QStringLiteral("0000/00/00 00:00");
        case Column::Length:
            return QStringLiteral("00:00:00");
        case Column::CallerNumber:
            return QStringLiteral("000-0000-0000");
        case Column::CallerName:
        case Column::ResponseName:
            return QStringLiteral("ああああああああ");
        default:
            return {};
    }
}

}  // namespace

CListDispView::CListDispView(AppContext& context, int listNumber, QWidget* parent)
    : QWidget(parent),
      m_context(context),
      m_number(listNumber),
      m_rows(context.flags.cancelAll),
      m_model(new ListModel(m_rows, this)),
      m_table(new QTableView(this)) {
    setWindowTitle(listTitle());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table);

    m_model->setDataRoot(voxmg::text::utf16FromUtf8(m_context.doc.dataRoot()));
    m_table->setModel(m_model);
    m_table->setItemDelegate(new DataListDelegate(m_table));
    m_table->setFont(list_pictures::listFont());
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(true);
    m_table->setWordWrap(false);
    m_table->setAlternatingRowColors(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_table->horizontalHeader()->setSectionsClickable(true);
    m_table->horizontalHeader()->setHighlightSections(false);
    m_table->horizontalHeader()->setFont(list_pictures::listFont());
    m_table->horizontalHeader()->setSortIndicatorShown(false);
    m_table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    connect(m_table->horizontalHeader(), &QHeaderView::sectionClicked, this, &CListDispView::sortBySection);
    connect(m_model, &QAbstractItemModel::modelReset, this, &CListDispView::measureFileNames);
    // The viewport, not the table: it also narrows when the vertical scroll bar appears.
    m_table->viewport()->installEventFilter(this);
    connect(m_table->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section) {
        if (section != m_table->horizontalHeader()->count() - 1) {
            fitLastColumn();
        }
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CListDispView::publishCommandState);
    connect(m_table, &QTableView::clicked, this, &CListDispView::onClicked);
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        emit editRequested(index.data(ListModel::kRecordRole).toInt());
    });
}

CListDispView::~CListDispView() = default;

QString CListDispView::listTitle() const {
    const auto& settings = m_context.doc.settings();
    if (m_number < 1 || m_number > 4) {
        return {};
    }
    return toQ(settings.disp[static_cast<std::size_t>(m_number - 1)].str());
}

std::string CListDispView::boxFolder() const {
    const auto& settings = m_context.doc.settings();
    const auto& name = settings.folderNames[static_cast<std::size_t>(std::clamp(m_number, 1, 4) - 1)].str();
    return voxmg::paths::withTrailingSeparator(m_context.doc.dataRoot()) + voxmg::text::utf8FromUtf16(name);
}

bool CListDispView::open() {
    if (listTitle().isEmpty()) {
        return false;
    }
    setWindowTitle(listTitle());
    setUpColumns();
    const bool built = build(false);
    m_opened = true;
    return built && !m_failed;
}

void CListDispView::setUpColumns() {
    const bool response = fromQ(listTitle()) == voxmg::list_boxes::kResponse;
    std::vector<voxmg::list_columns::ColumnInfo> columns;
    if (response) {
        columns = voxmg::list_columns::responseListColumns();
    } else {
        std::vector<std::u16string> names;
        for (const auto& name : m_context.doc.settings().columns) {
            names.push_back(name.str());
        }
        columns = voxmg::list_columns::boxListColumns(names);
        if (columns.empty()) {
            columns = voxmg::list_columns::boxListColumns(voxmg::list_columns::defaultBoxColumnNames());
        }
    }
    m_model->setColumns(columns);
    QHeaderView* header = m_table->horizontalHeader();
    const QFontMetrics metrics(list_pictures::listFont());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        // The configured width, but never so narrow that the heading or a date is cut.
        const int heading = metrics.horizontalAdvance(toQ(columns[i].name)) + 24;
        const int content = metrics.horizontalAdvance(sampleText(columns[i].column)) + 12;
        header->resizeSection(static_cast<int>(i), std::max({columns[i].width, heading, content}));
    }
    // The last column (usually the file name) takes the room left over, but Qt's own stretch
    // squeezes it to nothing once the others fill the window ("demo/nais…"): fitLastColumn
    // keeps it at least as wide as its text and lets the list scroll sideways instead.
    header->setStretchLastSection(false);
    m_lastColumnWidth = columns.empty() ? 0 : header->sectionSize(static_cast<int>(columns.size()) - 1);
    m_fileNameWidth = 0;
}

void CListDispView::measureFileNames() {
    const int section = m_model->sectionOf(Column::FileName);
    if (section < 0) {
        fitLastColumn();
        return;
    }
    m_fileNameWidth = widestFileName() + 16;
    QHeaderView* header = m_table->horizontalHeader();
    if (section != header->count() - 1 && header->sectionSize(section) < m_fileNameWidth) {
        header->resizeSection(section, m_fileNameWidth);
    }
    fitLastColumn();
}

int CListDispView::widestFileName() const {
    // Laying out 50,000 file names took longer than reading the messages. A name's width is the
    // sum of its characters' advances to within a pixel or two, so only names whose sums come
    // within a margin of the widest sum can be the widest; and names that differ only in their
    // digits with the same sum lay out alike, so one of each such kind is laid out.
    const QFontMetrics metrics(m_table->font());
    const QFontMetricsF fractional(m_table->font());
    QHash<char16_t, qreal> advances;
    std::vector<qreal> sums(static_cast<std::size_t>(m_model->rowCount()));
    qreal widestSum = 0;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        qreal sum = 0;
        for (char16_t c : m_model->text(m_model->recordAt(row), Column::FileName)) {
            auto known = advances.find(c);
            if (known == advances.end()) {
                known = advances.insert(c, fractional.horizontalAdvance(QChar(c)));
            }
            sum += known.value();
        }
        sums[static_cast<std::size_t>(row)] = sum;
        widestSum = std::max(widestSum, sum);
    }
    const qreal margin = std::max<qreal>(8.0, widestSum / 50);
    std::set<std::pair<std::u16string, qreal>> laidOut;
    int widest = 0;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const qreal sum = sums[static_cast<std::size_t>(row)];
        if (sum < widestSum - margin) {
            continue;
        }
        const std::u16string name = m_model->text(m_model->recordAt(row), Column::FileName);
        std::u16string kind = name;
        std::replace_if(
            kind.begin(), kind.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; }, u'0');
        if (laidOut.emplace(std::move(kind), sum).second) {
            widest = std::max(widest, metrics.horizontalAdvance(toQ(name)));
        }
    }
    return widest;
}

void CListDispView::fitLastColumn() {
    QHeaderView* header = m_table->horizontalHeader();
    const int last = header->count() - 1;
    if (last < 0) {
        return;
    }
    int others = 0;
    for (int i = 0; i < last; ++i) {
        others += header->sectionSize(i);
    }
    int needed = m_lastColumnWidth;
    if (last == m_model->sectionOf(Column::FileName)) {
        needed = std::max(needed, m_fileNameWidth);
    }
    header->resizeSection(last, std::max(needed, m_table->viewport()->width() - others));
}

bool CListDispView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_table->viewport() && event->type() == QEvent::Resize) {
        fitLastColumn();
    }
    return QWidget::eventFilter(watched, event);
}

bool CListDispView::build(bool partOfRefresh) {
    if (m_building || m_failed || m_held) {
        return false;
    }
    m_building = true;
    if (m_enableFrame) {
        m_enableFrame(false);
    }
    if (!partOfRefresh) {
        m_mode = Mode::All;
        m_keepUserSort = false;
    }
    const std::string folder = boxFolder();
    const QString title = listTitle();

    std::unique_ptr<CPrgOpenDlg> progress;
    if (!m_opened) {
        progress = std::make_unique<CPrgOpenDlg>(window());
        progress->show();
    }
    voxmg::ListBuildProgress hooks;
    if (progress) {
        hooks.begin = [&progress](int total) { progress->setTotal(total); };
        hooks.step = [&progress](int position) { progress->setPosition(position); };
    }
    hooks.pump = m_context.pump;

    m_model->beginRebuild();
    int result = 0;
    if (fromQ(title) == voxmg::list_boxes::kResponse) {
        result = m_rows.buildResponseList(folder, hooks);
    } else {
        result = m_rows.buildBoxList(folder, voxmg::list_boxes::parse(fromQ(title)), hooks);
    }
    applySort();
    m_model->endRebuild();
    m_folderTotal = voxmg::countFolderMessages(folder);
    progress.reset();
    if (result < 0) {
        m_failed = true;
        m_context.messages.error(this, QStringLiteral("一覧表の表示に失敗しました。"));
    }
    showSortIndicator();
    if (m_enableFrame) {
        m_enableFrame(true);
    }
    m_building = false;
    publishCommandState();
    emit countsChanged();
    if (!partOfRefresh) {
        runMissedRefresh();
    }
    return result >= 0;
}

void CListDispView::applySort() {
    if (m_rows.response()) {
        return;  // the slots stay in number order
    }
    auto text = [this](int record, Column column) { return m_model->text(record, column); };
    if (!m_keepUserSort) {
        m_sort.reset();
    }
    voxmg::list_sort::applyDefaultOrder(m_rows.shown(), text);
    if (m_sort.userSorted()) {
        voxmg::list_sort::sortRows(m_rows.shown(), m_sort.column(), m_sort.ascending(), text);
    }
}

void CListDispView::showSortIndicator() {
    QHeaderView* header = m_table->horizontalHeader();
    const int section = m_sort.userSorted() ? m_model->sectionOf(m_sort.column()) : -1;
    header->setSortIndicatorShown(section >= 0);
    if (section >= 0) {
        header->setSortIndicator(section, m_sort.ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
    }
}

void CListDispView::sortBySection(int section) {
    if (m_rows.response() || m_building || section < 0 || section >= m_model->columnCount()) {
        showSortIndicator();
        return;
    }
    const auto selected = selectedRecords();
    const Column column = m_model->columns()[static_cast<std::size_t>(section)].column;
    const bool ascending = m_sort.click(column);
    m_model->beginRebuild();
    voxmg::list_sort::sortRows(m_rows.shown(), column, ascending,
                               [this](int record, Column c) { return m_model->text(record, c); });
    m_model->endRebuild();
    showSortIndicator();
    const std::set<int> keep(selected.begin(), selected.end());
    QItemSelection selection;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (keep.count(m_model->recordAt(row)) != 0) {
            selection.select(m_model->index(row, 0), m_model->index(row, m_model->columnCount() - 1));
        }
    }
    m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void CListDispView::showAll() {
    build(false);
}

void CListDispView::showNotDownloaded() {
    if (m_rows.response() || m_building || m_failed) {
        return;
    }
    m_mode = Mode::NotDownloaded;
    m_model->beginRebuild();
    m_rows.showAll();
    m_rows.showNotDownloaded();
    applySort();
    m_model->endRebuild();
    showSortIndicator();
    publishCommandState();
    emit countsChanged();
}

void CListDispView::applyFilter(const voxmg::list_filter::ListFilter& filter) {
    if (m_building || m_failed) {
        return;
    }
    m_filter = filter;
    m_keepUserSort = false;
    m_sort.reset();
    showFiltered();
}

void CListDispView::showFiltered() {
    m_model->beginRebuild();
    const int kept = voxmg::list_filter::apply(m_rows, m_filter);
    m_mode = kept > 0 ? Mode::Filter : Mode::All;
    applySort();
    m_model->endRebuild();
    showSortIndicator();
    publishCommandState();
    emit countsChanged();
    if (kept == 0) {
        m_context.messages.error(this, toQ(voxmg::list_filter::kNoMatchText));
    }
}

void CListDispView::holdRebuilds(bool on) {
    m_held = on;
    runMissedRefresh();
}

void CListDispView::runMissedRefresh() {
    if (!m_held && !m_building && !m_refreshing && m_refreshMissed) {
        m_refreshMissed = false;
        refresh(false, true, true);
    }
}

void CListDispView::refresh(bool rebuildColumns, bool keepUserSort, bool keepSelection) {
    if (m_failed) {
        return;
    }
    if (m_held || m_building || m_refreshing) {
        // Held for an export, or a build lets events through: a refresh asked for meanwhile (a
        // message the worker just stored) runs once that ends, or the list would miss it.
        m_refreshMissed = true;
        return;
    }
    m_refreshing = true;
    const int scroll = m_table->verticalScrollBar()->value();
    const KeptSelection kept = keepSelection ? keptSelection() : KeptSelection{};
    m_keepUserSort = keepUserSort;
    if (!keepUserSort) {
        m_sort.reset();
    }
    if (rebuildColumns) {
        setUpColumns();
    }
    const Mode mode = m_mode;
    build(true);
    if (mode == Mode::NotDownloaded) {
        showNotDownloaded();
        m_mode = mode;
    } else if (mode == Mode::Filter) {
        showFiltered();
    }
    restoreSelection(kept);
    // The scroll range follows the new rows only after a layout pass; without it the old
    // position would be clamped to the top.
    m_table->doItemsLayout();
    m_table->verticalScrollBar()->setValue(scroll);
    publishCommandState();
    m_refreshing = false;
    runMissedRefresh();
}

CListDispView::KeptSelection CListDispView::keptSelection() const {
    // Rows are found again by their file: the record indexes change with the rebuild. The
    // response list keeps its 300 slots in place, and an edited response message has a new
    // file name, so there the rows themselves are kept.
    KeptSelection kept;
    for (int record : selectedRecords()) {
        // An empty response slot has no file: its empty path would match every other one.
        std::u16string path = m_rows.view(record).path();
        if (!path.empty()) {
            kept.paths.insert(std::move(path));
        }
    }
    if (m_rows.response()) {
        for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
            kept.responseRows.insert(index.row());
        }
    }
    return kept;
}

void CListDispView::restoreSelection(const KeptSelection& kept) {
    QItemSelection selection;
    for (int row = 0; row < m_model->rowCount() && (!kept.paths.empty() || !kept.responseRows.empty());
         ++row) {
        if (kept.responseRows.count(row) != 0 ||
            kept.paths.count(m_rows.view(m_model->recordAt(row)).path()) != 0) {
            selection.select(m_model->index(row, 0), m_model->index(row, m_model->columnCount() - 1));
        }
    }
    m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

int CListDispView::firstSelectedFile(std::string* path) const {
    if (m_building) {
        return -2;
    }
    const auto selected = selectedRecords();
    if (selected.empty()) {
        return -1;
    }
    if (path != nullptr) {
        *path = m_rows.record(selected.front()).pathUtf8();
    }
    return selected.front();
}

std::vector<int> CListDispView::selectedRecords() const {
    auto rows = m_table->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<int> out;
    out.reserve(static_cast<std::size_t>(rows.size()));
    for (const auto& index : rows) {
        const int record = m_model->recordAt(index.row());
        if (record >= 0) {
            out.push_back(record);
        }
    }
    return out;
}

ListCounts CListDispView::counts() const {
    ListCounts c;
    c.responseList = m_rows.response();
    c.folderTotal = m_folderTotal;
    c.boxTotal = m_rows.boxTotal();
    c.listTotal = m_rows.listTotal();
    c.unplayed = m_rows.unplayed();
    c.played = m_rows.played();
    return c;
}

void CListDispView::publishCommandState() {
    m_commands = m_building ? voxmg::ListCommandState{} : m_rows.commandState(selectedRecords());
    emit commandStateChanged();
}

void CListDispView::onClicked(const QModelIndex& index) {
    if (m_building || static_cast<Column>(index.data(ListModel::kColumnRole).toInt()) != Column::Flag) {
        return;
    }
    toggleFlag(index.row());
}

bool CListDispView::toggleFlag(int row) {
    const int record = m_building ? -1 : m_model->recordAt(row);
    if (record < 0 || m_rows.emptySlot(record)) {
        return false;
    }
    const bool on = (m_rows.view(record).flags & voxmg::FILESTS_INFO::kUserFlag) == 0;
    if (!m_rows.setFlag(record, on)) {
        return false;
    }
    m_model->rowChanged(row);
    return true;
}

bool CListDispView::selectNextUnplayed() {
    const int rows = m_model->rowCount();
    // The response list's byte means "uploaded": it has nothing unplayed.
    if (m_building || rows == 0 || m_rows.response()) {
        return false;
    }
    const int current = m_table->currentIndex().isValid() ? m_table->currentIndex().row() : -1;
    for (int step = 1; step <= rows; ++step) {
        const int row = (current + step) % rows;
        const int record = m_model->recordAt(row);
        if (record < 0 || m_rows.emptySlot(record)) {
            continue;
        }
        const voxmg::RowView r = m_rows.view(record);
        if (r.played == 0 && r.state != static_cast<std::uint8_t>(voxmg::DownloadState::InfoOnly)) {
            m_table->selectRow(row);
            m_table->scrollTo(m_model->index(row, 0));
            return true;
        }
    }
    return false;
}

void CListDispView::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closed(m_number);
}
