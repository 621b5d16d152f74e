#pragma once

#include <QDialog>

#include "core/lists/list_filter.h"
#include "gui/lists/filter_rows.h"

struct AppContext;
class DialogScheduleCheck;
class QDateEdit;
class QGridLayout;

// "選択表示" of a box list: opens with the stored box-list filter; OK checks the inputs and
// stores the new filter in the document, Cancel leaves it.
class CFindSetDlg : public QDialog {
    Q_OBJECT
public:
    explicit CFindSetDlg(AppContext& context, QWidget* parent = nullptr);

    // For tests and the window: the criteria's widgets.
    QCheckBox* dateOn() const { return m_dateOn; }
    QDateEdit* dateFrom() const { return m_from; }
    QDateEdit* dateTo() const { return m_to; }
    filter_rows::TextRow title() const { return m_title; }
    filter_rows::TextRow boxNumber() const { return m_boxNumber; }
    filter_rows::TextRow boxName() const { return m_boxName; }
    filter_rows::TextRow callerNumber() const { return m_callerNumber; }
    filter_rows::TextRow callerName() const { return m_callerName; }
    filter_rows::TextRow memo() const { return m_memo; }
    filter_rows::ChoiceRow played() const { return m_played; }
    filter_rows::ChoiceRow protect() const { return m_protect; }
    filter_rows::ChoiceRow flag() const { return m_flag; }
    QCheckBox* stateOn() const { return m_stateOn; }
    QCheckBox* statePlayed() const { return m_statePlayed; }
    QCheckBox* stateUnplayed() const { return m_stateUnplayed; }
    QCheckBox* stateDeleted() const { return m_stateDeleted; }
    QCheckBox* stateInfoOnly() const { return m_stateInfoOnly; }

    // OK: the checks, then the filter stored and the dialog accepted.
    void onOk();

private:
    // "日付": its switch and the two dates, in row `row` of the criteria.
    void addDateRow(QGridLayout* grid, int row, const voxmg::list_filter::ListFilter& stored);
    QWidget* makeStateBoxes(const voxmg::list_filter::ListFilter& stored);
    voxmg::list_filter::ListFilter filterFromInputs() const;

    AppContext& m_context;
    DialogScheduleCheck* m_schedule;
    QCheckBox* m_dateOn = nullptr;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    filter_rows::TextRow m_title{};
    filter_rows::TextRow m_boxNumber{};
    filter_rows::TextRow m_boxName{};
    filter_rows::TextRow m_callerNumber{};
    filter_rows::TextRow m_callerName{};
    filter_rows::TextRow m_memo{};
    filter_rows::ChoiceRow m_played{};
    filter_rows::ChoiceRow m_protect{};
    filter_rows::ChoiceRow m_flag{};
    QCheckBox* m_stateOn = nullptr;
    QCheckBox* m_statePlayed = nullptr;
    QCheckBox* m_stateUnplayed = nullptr;
    QCheckBox* m_stateDeleted = nullptr;
    QCheckBox* m_stateInfoOnly = nullptr;
};
