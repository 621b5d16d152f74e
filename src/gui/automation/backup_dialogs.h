#pragma once

#include <QDialog>
#include <QTimer>
#include <ctime>
#include <functional>

#include "core/automation/backup_run.h"
#include "gui/base/app_context.h"
#include "gui/base/step_progress_dlg.h"

class QButtonGroup;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimeEdit;

// "自動バックアップの設定": frequency, weekday, day and time; OK stores them and computes the
// next scheduled time.
class CABakUpSetDlg : public QDialog {
    Q_OBJECT
public:
    CABakUpSetDlg(AppContext& context, std::function<std::tm()> clock, QWidget* parent = nullptr);

    QButtonGroup* frequency() const { return m_frequency; }
    QComboBox* weekday() const { return m_weekday; }
    QComboBox* day() const { return m_day; }
    QTimeEdit* time() const { return m_time; }
    QPushButton* okButton() const { return m_ok; }
    QLabel* nextRun() const { return m_next; }

private:
    QGroupBox* frequencyBox();
    QGridLayout* whenGrid();  // weekday, day and time
    void showStored(const voxmg::Settings& s);
    void applyEnabling();
    // The settings as the dialog shows them, not yet stored.
    voxmg::backup::Schedule shownSchedule() const;
    void showNextRun();
    void store();

    AppContext& m_context;
    std::function<std::tm()> m_clock;
    QButtonGroup* m_frequency;
    QComboBox* m_weekday;
    QComboBox* m_day;
    QTimeEdit* m_time;
    QLabel* m_next;
    QPushButton* m_ok;
};

// "バックアップの確認" when the time has come: はい, いいえ, or the backup starts by itself after
// ten minutes.
class CABakUpChk1Dlg : public QDialog {
    Q_OBJECT
public:
    CABakUpChk1Dlg(AppContext& context, std::function<std::tm()> clock, QWidget* parent = nullptr);
    QPushButton* yesButton() const { return m_yes; }
    QPushButton* noButton() const { return m_no; }

private:
    AppContext& m_context;
    QPushButton* m_yes;
    QPushButton* m_no;
    QTimer m_countdown;
};

// "バックアップの確認" at start-up, when the scheduled time passed while the program was not
// running.
class CABakUpChk2Dlg : public QDialog {
    Q_OBJECT
public:
    CABakUpChk2Dlg(AppContext& context, QWidget* parent = nullptr);
    QPushButton* yesButton() const { return m_yes; }
    QPushButton* noButton() const { return m_no; }

private:
    QPushButton* m_yes;
    QPushButton* m_no;
};

// "バックアップ実行中": the run's progress; キャンセル stops it at the next check.
class CPrgAbackUpDlg : public StepProgressDlg, public voxmg::backup::BackupUi {
    Q_OBJECT
public:
    CPrgAbackUpDlg(AppContext& context, QWidget* parent = nullptr);

    // ProgressSink
    void setRange(int range) override;
    void nextFile() override;
    // BackupUi
    voxmg::ProgressSink* openProgress() override;
    void closeProgress() override;
    void show(const voxmg::UserMessage& message) override;

protected:
    // The button stays: the dialog lives through the whole run and may be pressed again.
    void cancel() override;
    void reject() override {}  // Escape does not stop a backup; キャンセル does

private:
    AppContext& m_context;
};
