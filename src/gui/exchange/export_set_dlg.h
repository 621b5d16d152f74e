#pragma once

#include <QDialog>

#include "core/exchange/csv_export.h"

struct AppContext;
class DialogScheduleCheck;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// "エクスポート設定": where the active list goes as a CSV file, and the export itself with its
// progress. Accepted when the file was written in full; a cancelled or failed export keeps the
// dialog open. The folder and name chosen are remembered in the settings block.
class CExportSetDlg : public QDialog {
    Q_OBJECT
public:
    // `source`: the list's columns, rows and data root; folder and name come from the dialog.
    CExportSetDlg(AppContext& context, voxmg::csv_export::ExportRequest source, QWidget* parent = nullptr);

    QLineEdit* folderField() const { return m_folder; }
    QLineEdit* fileField() const { return m_file; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* chooseButton() const { return m_choose; }
    QProgressBar* progressBar() const { return m_progress; }
    bool exporting() const { return m_exporting; }

    // "設定": the save-file dialog; cancelling it closes this dialog as cancelled.
    void onChoose();
    void onOk();
    // キャンセル while exporting stops the export after the row being written.
    void reject() override;

private:
    void updateOk();
    void restore();

    AppContext& m_context;
    voxmg::csv_export::ExportRequest m_source;
    DialogScheduleCheck* m_schedule;
    QLabel* m_text;
    QLineEdit* m_folder;
    QLineEdit* m_file;
    QPushButton* m_choose;
    QProgressBar* m_progress;
    QPushButton* m_ok;
    bool m_exporting = false;
    bool m_cancel = false;
};
