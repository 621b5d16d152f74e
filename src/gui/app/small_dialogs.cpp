#include "gui/app/small_dialogs.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "core/app/version.h"
#include "gui/base/dialog_schedule.h"

namespace {

const QString kProductName = QStringLiteral("Zuシリーズ音声ファイル管理");

QLabel* iconLabel(QWidget* parent, QStyle::StandardPixmap which) {
    auto* icon = new QLabel(parent);
    icon->setPixmap(parent->style()->standardIcon(which).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    return icon;
}

}  // namespace

CAboutDlg::CAboutDlg(AppContext& context, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("バージョン"));
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(kProductName, this));
    column->addWidget(new QLabel(QStringLiteral("Version " VOXMG_VERSION), this));
    // The program links libbcg729, which is GPL-3+, so the program is under the same licence
    // and says so where the user looks for it.
    auto* licence =
        new QLabel(QStringLiteral("Copyright © 2026 VOXMG developers\n"
                                  "このプログラムはフリーソフトウェアです。GNU 一般公衆利用許諾書\n"
                                  "(GPL) バージョン 3 またはそれ以降の条件で再配布・改変できます。\n"
                                  "無保証です。詳しくは https://www.gnu.org/licenses/ をご覧ください。"),
                   this);
    licence->setObjectName(QStringLiteral("licence"));
    licence->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(licence);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    column->addLayout(row);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    (new DialogScheduleCheck(this, context))->start();
}

CEndChkDlg::CEndChkDlg(AppContext& context, bool backupAvailable, QWidget* parent)
    : QDialog(parent),
      m_yes(new QPushButton(QStringLiteral("はい(&Y)"), this)),
      m_no(new QPushButton(QStringLiteral("いいえ(&N)"), this)),
      m_backup(new QPushButton(QStringLiteral("ﾊﾞｯｸｱｯﾌﾟを実行して終了"), this)) {
    setWindowTitle(QStringLiteral("終了確認"));
    auto* column = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(iconLabel(this, QStyle::SP_MessageBoxQuestion));
    top->addWidget(new QLabel(kProductName + QStringLiteral("を終了しますか？"), this), 1);
    column->addLayout(top);
    auto* row = new QHBoxLayout;
    row->addWidget(m_backup);
    row->addStretch();
    row->addWidget(m_yes);
    row->addWidget(m_no);
    column->addLayout(row);
    m_yes->setDefault(true);

    const auto& s = context.doc.settings();
    m_backup->setVisible(s.hindo != 0);
    m_backup->setEnabled(backupAvailable && !s.folder.empty());

    auto& schedule = context.schedule;
    connect(m_yes, &QPushButton::clicked, this, [this, &schedule] {
        schedule.backupRequest = false;
        accept();
    });
    connect(m_backup, &QPushButton::clicked, this, [this, &schedule] {
        schedule.backupRequest = true;
        accept();
    });
    connect(m_no, &QPushButton::clicked, this, &QDialog::reject);
}

CRecomDlg::CRecomDlg(QWidget* parent)
    : QDialog(parent),
      m_reconnect(new QPushButton(QStringLiteral("再接続"), this)),
      m_end(new QPushButton(QStringLiteral("終了"), this)) {
    setWindowTitle(kProductName);
    auto* column = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(iconLabel(this, QStyle::SP_MessageBoxWarning));
    auto* texts = new QVBoxLayout;
    texts->addWidget(new QLabel(QStringLiteral("主装置との通信が切断されました。"), this));
    texts->addWidget(new QLabel(QStringLiteral("主装置を確認後、再接続してください。"), this));
    top->addLayout(texts, 1);
    column->addLayout(top);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_reconnect);
    row->addWidget(m_end);
    column->addLayout(row);
    m_reconnect->setDefault(true);
    connect(m_reconnect, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_end, &QPushButton::clicked, this, &QDialog::reject);
}
