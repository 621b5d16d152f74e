#pragma once

#include <QDialog>

#include "core/lists/list_filter.h"
#include "gui/lists/filter_rows.h"

struct AppContext;
class DialogScheduleCheck;

// "選択表示" of the response list: message name, uploaded and flag. OK stores the response
// list's filter in the document, Cancel leaves it.
class CFindSetDlgS : public QDialog {
    Q_OBJECT
public:
    explicit CFindSetDlgS(AppContext& context, QWidget* parent = nullptr);

    filter_rows::TextRow name() const { return m_name; }
    filter_rows::ChoiceRow uploaded() const { return m_uploaded; }
    filter_rows::ChoiceRow flag() const { return m_flag; }
    void onOk();

private:
    AppContext& m_context;
    DialogScheduleCheck* m_schedule;
    filter_rows::TextRow m_name{};
    filter_rows::ChoiceRow m_uploaded{};
    filter_rows::ChoiceRow m_flag{};
};
