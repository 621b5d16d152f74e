#include "gui/lists/list_windows.h"

#include <algorithm>

#include "core/lists/list_slots.h"
#include "gui/base/app_context.h"
#include "gui/lists/box_open_dlg.h"
#include "gui/lists/list_disp_view.h"

ListWindows::ListWindows(AppContext& context, QObject* parent) : QObject(parent), m_context(context) {}

CListDispView* ListWindows::create(int n) {
    if (n < 1 || n > voxmg::list_slots::kMaxLists ||
        m_context.doc.settings().disp[static_cast<std::size_t>(n - 1)].empty()) {
        return nullptr;
    }
    auto* view = new CListDispView(m_context, n);
    view->setAttribute(Qt::WA_DeleteOnClose);
    m_views.emplace_back(view);
    connect(view, &CListDispView::closed, this, [this, view](int number) { onClosed(view, number); });
    emit created(view);
    view->open();
    return view;
}

int ListWindows::runOpenDialog(QWidget* dialogParent) {
    CBoxOpenDlg dialog(m_context, openCount(), dialogParent);
    return dialog.exec() == QDialog::Accepted ? dialog.slot() : 0;
}

int ListWindows::openCount() const {
    return static_cast<int>(
        std::count_if(m_views.begin(), m_views.end(), [](const auto& v) { return !v.isNull(); }));
}

CListDispView* ListWindows::view(int n) const {
    for (const auto& v : m_views) {
        if (!v.isNull() && v->listNumber() == n) {
            return v;
        }
    }
    return nullptr;
}

std::vector<CListDispView*> ListWindows::views() const {
    std::vector<CListDispView*> out;
    for (const auto& v : m_views) {
        if (!v.isNull()) {
            out.push_back(v);
        }
    }
    return out;
}

void ListWindows::onClosed(CListDispView* view, int n) {
    const int before = openCount();
    std::erase_if(m_views, [view](const auto& v) { return v.isNull() || v == view; });
    const auto moves = voxmg::list_slots::releaseSlot(m_context.doc.settings(), before, n);
    for (const auto& [from, to] : moves) {
        if (CListDispView* moved = this->view(from)) {
            moved->setListNumber(to);
            emit renumbered(moved, to);
        }
    }
    emit closed();
}
