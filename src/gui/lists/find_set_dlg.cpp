#include "gui/lists/find_set_dlg.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/base/app_context.h"
#include "gui/base/button_row.h"
#include "gui/base/dialog_schedule.h"
#include "gui/base/qt_text.h"
#include "gui/base/section_typing.h"
#include "gui/base/user_messages.h"

using namespace voxmg::list_filter;

namespace {

const QString kDateFormat = QStringLiteral("yyyy/MM/dd");

QDateEdit* dateEdit(QWidget* parent, const std::u16string& stored) {
    auto* edit = new QDateEdit(parent);
    edit->setDisplayFormat(kDateFormat);
    edit->setCalendarPopup(true);
    edit->setDateRange(QDate(2009, 1, 1), QDate(2099, 12, 31));
    const QDate date = QDate::fromString(toQ(stored), kDateFormat);
    edit->setDate(date.isValid() ? date : QDate::currentDate());
    selectSectionOnEntry(edit);
    return edit;
}

// The box folder the filter applies to, shown and not edited.
QHBoxLayout* folderRow(QWidget* parent, const QString& path) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("フォルダ名"), parent));
    auto* folder = new QLineEdit(path, parent);
    folder->setReadOnly(true);
    folder->setFocusPolicy(Qt::ClickFocus);  // the first criterion takes the focus
    row->addWidget(folder, 1);
    return row;
}

}  // namespace

CFindSetDlg::CFindSetDlg(AppContext& context, QWidget* parent)
    : QDialog(parent), m_context(context), m_schedule(new DialogScheduleCheck(this, context)) {
    setWindowTitle(QStringLiteral("選択表示"));
    const ListFilter& stored = context.doc.boxFilter();
    auto* column = new QVBoxLayout(this);
    column->addLayout(folderRow(this, pathToQ(context.doc.boxFolderPath())));

    auto* grid = new QGridLayout;
    column->addLayout(grid);
    int row = 0;
    addDateRow(grid, row++, stored);
    using filter_rows::addTextRow;
    m_title = addTextRow(grid, row++, QStringLiteral("タイトル"), 40, stored.titleOn, stored.title);
    m_boxNumber = addTextRow(grid, row++, QStringLiteral("BOX番号"), 4, stored.boxNumberOn, stored.boxNumber);
    m_boxName = addTextRow(grid, row++, QStringLiteral("BOX名称"), 10, stored.boxNameOn, stored.boxName);
    m_callerNumber =
        addTextRow(grid, row++, QStringLiteral("相手番号"), 32, stored.callerNumberOn, stored.callerNumber);
    m_callerName =
        addTextRow(grid, row++, QStringLiteral("相手名称"), 32, stored.callerNameOn, stored.callerName);
    m_memo = addTextRow(grid, row++, QStringLiteral("メモ"), 40, stored.memoOn, stored.memo);
    using filter_rows::addChoiceRow;
    m_played = addChoiceRow(grid, row++, QStringLiteral("再生／未再生"), QStringLiteral("再生済"),
                            QStringLiteral("未再生"), stored.played);
    m_protect = addChoiceRow(grid, row++, QStringLiteral("保護／非保護"), QStringLiteral("保護"),
                             QStringLiteral("非保護"), stored.protect);
    m_stateOn = new QCheckBox(QStringLiteral("取込"), this);
    m_stateOn->setChecked(stored.state != StateCriterion::Any);
    QWidget* states = makeStateBoxes(stored);
    filter_rows::enableWith(m_stateOn, states);
    grid->addWidget(m_stateOn, row, 0, Qt::AlignTop);
    grid->addWidget(states, row++, 1);
    m_flag = addChoiceRow(grid, row++, QStringLiteral("フラグ"), QStringLiteral("あり"),
                          QStringLiteral("なし"), stored.flag);
    grid->setColumnStretch(1, 1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    column->addLayout(buttonRowWithCancel(this, {ok}));
    connect(ok, &QPushButton::clicked, this, &CFindSetDlg::onOk);
    setMinimumWidth(460);
    m_schedule->start();
}

void CFindSetDlg::addDateRow(QGridLayout* grid, int row, const ListFilter& stored) {
    m_dateOn = new QCheckBox(QStringLiteral("日付"), this);
    m_dateOn->setChecked(stored.dateOn);
    auto* dates = new QWidget(this);
    auto* dateRow = new QHBoxLayout(dates);
    dateRow->setContentsMargins(0, 0, 0, 0);
    m_from = dateEdit(dates, stored.dateFrom);
    m_to = dateEdit(dates, stored.dateTo);
    dateRow->addWidget(m_from);
    dateRow->addWidget(new QLabel(QStringLiteral("～"), dates));
    dateRow->addWidget(m_to);
    dateRow->addStretch(1);
    filter_rows::enableWith(m_dateOn, dates);
    grid->addWidget(m_dateOn, row, 0);
    grid->addWidget(dates, row, 1);
}

QWidget* CFindSetDlg::makeStateBoxes(const ListFilter& stored) {
    auto* box = new QWidget(this);
    auto* layout = new QGridLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    m_statePlayed = new QCheckBox(QStringLiteral("再生済"), box);
    m_stateUnplayed = new QCheckBox(QStringLiteral("未再生"), box);
    m_stateDeleted = new QCheckBox(QStringLiteral("消去済"), box);
    m_stateInfoOnly = new QCheckBox(QStringLiteral("録音情報のみ"), box);
    layout->addWidget(new QLabel(QStringLiteral("録音情報+音声データ"), box), 0, 0, 1, 3);
    layout->addWidget(m_statePlayed, 1, 0);
    layout->addWidget(m_stateUnplayed, 1, 1);
    layout->addWidget(m_stateDeleted, 1, 2);
    layout->addWidget(m_stateInfoOnly, 2, 0, 1, 3);
    layout->setColumnStretch(3, 1);
    const StateTicks ticks = ticksOf(stored.state);
    m_statePlayed->setChecked(ticks.played);
    m_stateUnplayed->setChecked(ticks.unplayed);
    m_stateDeleted->setChecked(ticks.deleted);
    m_stateInfoOnly->setChecked(ticks.infoOnly);
    // "録音情報のみ" and the three voice states exclude each other.
    connect(m_stateInfoOnly, &QCheckBox::clicked, this, [this](bool on) {
        if (on) {
            for (QCheckBox* voice : {m_statePlayed, m_stateUnplayed, m_stateDeleted}) {
                voice->setChecked(false);
            }
        }
    });
    for (QCheckBox* voice : {m_statePlayed, m_stateUnplayed, m_stateDeleted}) {
        connect(voice, &QCheckBox::clicked, this, [this](bool on) {
            if (on) {
                m_stateInfoOnly->setChecked(false);
            }
        });
    }
    return box;
}

ListFilter CFindSetDlg::filterFromInputs() const {
    ListFilter f;
    f.dateOn = m_dateOn->isChecked();
    if (f.dateOn) {
        f.dateFrom = fromQ(m_from->date().toString(kDateFormat));
        f.dateTo = fromQ(m_to->date().toString(kDateFormat));
    }
    auto take = [](const filter_rows::TextRow& row, bool& on, std::u16string& text) {
        on = row.on->isChecked();
        text = on ? fromQ(row.edit->text()) : std::u16string();
    };
    take(m_title, f.titleOn, f.title);
    take(m_boxNumber, f.boxNumberOn, f.boxNumber);
    take(m_boxName, f.boxNameOn, f.boxName);
    take(m_callerNumber, f.callerNumberOn, f.callerNumber);
    take(m_callerName, f.callerNameOn, f.callerName);
    take(m_memo, f.memoOn, f.memo);
    f.played = filter_rows::choiceOf(m_played);
    f.protect = filter_rows::choiceOf(m_protect);
    f.flag = filter_rows::choiceOf(m_flag);
    if (m_stateOn->isChecked()) {
        f.state = stateFromTicks({m_statePlayed->isChecked(), m_stateUnplayed->isChecked(),
                                  m_stateDeleted->isChecked(), m_stateInfoOnly->isChecked()});
    }
    return f;
}

void CFindSetDlg::onOk() {
    ListFilter filter = filterFromInputs();
    const FilterCheck check = checkBoxFilter(filter);
    if (check != FilterCheck::Ok) {
        m_context.messages.error(this, toQ(refusalText(check)));
        return;
    }
    normalizeTexts(filter);
    m_context.doc.boxFilter() = filter;
    m_schedule->stop();
    accept();
}
